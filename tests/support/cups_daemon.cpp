#include "tests/support/cups_daemon.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <csignal>

#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";

bool WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Calls `ready` every 20 ms until it is true (true) or `timeoutMs` have passed (false).
template <typename Ready>
bool Poll(int timeoutMs, Ready ready) {
  QElapsedTimer waited;
  for (waited.start(); waited.elapsed() < timeoutMs; QThread::msleep(20))
    if (ready()) return true;
  return false;
}

}  // namespace

bool CupsDaemon::Installed() {
  return QFileInfo(kCupsd).isExecutable();
}

QByteArray CupsDaemon::SupportFile(const char* folder, const char* name) {
  QFile file(QStringLiteral(CORVEL_SOURCE_DIR "/tests/support/") + folder + name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString CupsDaemon::Start() {
  if (!Installed()) return "cupsd is not installed";
  // A short path under the system temporary folder: unix socket paths are limited to
  // about 100 bytes, and the filters must be able to enter the folders.
  root_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/corvel-cups-XXXXXX");
  if (!root_->isValid()) return "cannot create a temporary folder";
  const QString base = root_->path();
  // Qt's permission bits in hexadecimal: 0x7755 is rwxr-xr-x, 0x7777 rwxrwxrwx for the
  // folders the scheduler's filters (which may run as another user) must write.
  QFile::setPermissions(base, QFile::Permissions(0x7755));
  for (const char* sub : {"spool", "tmp", "cache", "state", "log", "out", "ppd"}) {
    QDir(base).mkpath(sub);
    QFile::setPermissions(base + "/" + sub, QFile::Permissions(0x7777));
  }
  // The scheduler's configuration, kept beside the PPDs, with this folder filled in.
  for (const char* name : {"cupsd.conf", "cups-files.conf"})
    if (!WriteBytes(base + "/" + name, QString(SupportFile("cupsd/", name)).arg(base).toUtf8()))
      return "cannot write the scheduler's configuration";
  daemon_ = std::make_unique<QProcess>();
  daemon_->setProcessChannelMode(QProcess::MergedChannels);
  daemon_->setWorkingDirectory(base);
  daemon_->start(kCupsd, {"-f", "-c", base + "/cupsd.conf", "-s", base + "/cups-files.conf"});
  if (!daemon_->waitForStarted(10000)) return "cupsd did not start";
  bool answered = false;
  Poll(30000, [&] {
    QString out;
    answered = QFileInfo::exists(Socket()) && RunClient("lpstat", {"-r"}, &out) == 0 &&
               out.contains("is running");
    return answered || daemon_->state() != QProcess::Running;
  });
  if (answered) return {};
  QFile log(base + "/log/error_log");
  log.open(QIODevice::ReadOnly);
  return "cupsd did not answer: " + QString::fromUtf8(daemon_->readAll() + log.readAll());
}

void CupsDaemon::Stop() {
  Thaw();
  if (daemon_ && daemon_->state() != QProcess::NotRunning) {
    daemon_->terminate();
    if (!daemon_->waitForFinished(10000)) daemon_->kill();
    daemon_->waitForFinished(5000);
  }
  daemon_.reset();
  root_.reset();
}

bool CupsDaemon::StartWithQueues(std::initializer_list<Queue> queues, QString* error) {
  QString why = Start();
  for (auto queue = queues.begin(); why.isEmpty() && queue != queues.end(); ++queue) {
    // Not in the scheduler's own ppd folder, where it keeps its copy.
    const QString path = root_->filePath("log/" + queue->name + "-source.ppd");
    const QStringList args = {"-p", queue->name, "-E", "-v", "file://" + OutputFile(queue->name),
                              "-P", path};
    QString out;
    if (!WriteBytes(path, queue->ppd) || RunClient("lpadmin", args, &out) != 0 ||
        (queue->makeDefault && RunClient("lpadmin", {"-d", queue->name}, &out) != 0)) {
      why = "lpadmin " + args.join(' ') + ": " + out;
    }
  }
  if (why.isEmpty()) return true;
  if (error) *error = why;
  Stop();
  return false;
}

int CupsDaemon::RunClient(const QString& program, const QStringList& args, QString* output) const {
  // The client's answers are read in English ("scheduler is running"), whatever the locale.
  const RunResult result =
      RunProgram(program, args, {}, {"CUPS_SERVER=" + Socket(), "LC_ALL=C"}, 30000);
  if (output) *output = QString::fromUtf8(result.out + result.err);
  return result.finished ? result.exitCode : -1;
}

QString CupsDaemon::PjlSetting(const QString& queue, const QString& name) const {
  QFile output(OutputFile(queue));
  if (!output.open(QIODevice::ReadOnly)) return "no output";
  const auto match = QRegularExpression("@PJL SET " + name + "=(\\w+)")
                         .match(QString::fromLatin1(output.read(4096)));
  return match.hasMatch() ? match.captured(1) : "none";
}

void CupsDaemon::Freeze() const {
  if (daemon_) ::kill(static_cast<pid_t>(daemon_->processId()), SIGSTOP);
}

void CupsDaemon::Thaw() const {
  if (daemon_) ::kill(static_cast<pid_t>(daemon_->processId()), SIGCONT);
}

int CupsDaemon::CompletedJobs(const QString& queue) const {
  QString out;
  if (RunClient("lpstat", {"-W", "completed", "-o", queue}, &out) != 0) return 0;
  return static_cast<int>(out.split('\n', Qt::SkipEmptyParts).size());
}

bool CupsDaemon::WaitForCompletedJobs(const QString& queue, int jobs, int timeoutMs) const {
  return Poll(timeoutMs, [&] {
    QString pending;
    RunClient("lpstat", {"-W", "not-completed", "-o"}, &pending);
    return pending.trimmed().isEmpty() && CompletedJobs(queue) >= jobs;
  });
}

}  // namespace corvel::test
