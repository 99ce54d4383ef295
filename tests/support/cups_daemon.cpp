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

QByteArray ReadPpd(const char* name) {
  QFile file(QStringLiteral(CORVEL_SOURCE_DIR "/tests/support/ppd/") + name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

bool CupsDaemon::Installed() {
  return QFileInfo(kCupsd).isExecutable();
}

bool CupsDaemon::Start(QString* error) {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    Stop();
    return false;
  };
  if (!Installed()) return fail("cupsd is not installed");
  // A short path under the system temporary folder: unix socket paths are limited to
  // about 100 bytes, and the filters must be able to enter the folders.
  root_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/corvel-cups-XXXXXX");
  if (!root_->isValid()) return fail("cannot create a temporary folder");
  const QString base = root_->path();
  // Qt's permission bits in hexadecimal: 0x7755 is rwxr-xr-x, 0x7777 rwxrwxrwx for the
  // folders the scheduler's filters (which may run as another user) must write.
  QFile::setPermissions(base, QFile::Permissions(0x7755));
  for (const char* sub : {"spool", "tmp", "cache", "state", "log", "out", "ppd"}) {
    QDir(base).mkpath(sub);
    QFile::setPermissions(base + "/" + sub, QFile::Permissions(0x7777));
  }
  const QString conf = QString(
      "Listen %1/cups.sock\nLogLevel warn\nBrowsing Off\nDefaultAuthType None\n"
      "WebInterface No\n<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
      "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");
  const QString files = QString(
      "ServerRoot %1\nRequestRoot %1/spool\nTempDir %1/tmp\nCacheDir %1/cache\n"
      "StateDir %1/state\nAccessLog %1/log/access_log\nErrorLog %1/log/error_log\n"
      "PageLog %1/log/page_log\nFileDevice Yes\n");
  if (!WriteBytes(base + "/cupsd.conf", conf.arg(base).toUtf8()) ||
      !WriteBytes(base + "/cups-files.conf", files.arg(base).toUtf8())) {
    return fail("cannot write the scheduler's configuration");
  }

  daemon_ = std::make_unique<QProcess>();
  daemon_->setProcessChannelMode(QProcess::MergedChannels);
  daemon_->setWorkingDirectory(base);
  daemon_->start(kCupsd, {"-f", "-c", base + "/cupsd.conf", "-s", base + "/cups-files.conf"});
  if (!daemon_->waitForStarted(10000)) return fail("cupsd did not start");

  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < 30000) {
    if (daemon_->state() != QProcess::Running) {
      QFile log(base + "/log/error_log");
      log.open(QIODevice::ReadOnly);
      return fail("cupsd ended: " + QString::fromUtf8(daemon_->readAll() + log.readAll()));
    }
    QString out;
    if (QFileInfo::exists(Socket()) && RunClient("lpstat", {"-r"}, &out) == 0 &&
        out.contains("is running")) {
      return true;
    }
    QThread::msleep(20);
  }
  return fail("cupsd did not answer");
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

int CupsDaemon::RunClient(const QString& program, const QStringList& args, QString* output) const {
  // The client's answers are read in English ("scheduler is running"), whatever the locale.
  const RunResult result =
      RunProgram(program, args, {}, {"CUPS_SERVER=" + Socket(), "LC_ALL=C"}, 30000);
  if (output) *output = QString::fromUtf8(result.out + result.err);
  return result.finished ? result.exitCode : -1;
}

QByteArray CupsDaemon::RollLabelPpd() {
  return ReadPpd("roll-label.ppd");
}

QByteArray CupsDaemon::OfficePpd() {
  return ReadPpd("office.ppd");
}

bool CupsDaemon::StartWithQueues(std::initializer_list<Queue> queues, QString* error) {
  if (!Start(error)) return false;
  for (const Queue& queue : queues) {
    // Not in the scheduler's own ppd folder, where it keeps its copy.
    const QString path = root_->filePath("log/" + queue.name + "-source.ppd");
    const QStringList args = {"-p", queue.name, "-E", "-v", "file://" + OutputFile(queue.name),
                              "-P", path};
    QString out;
    if (!WriteBytes(path, queue.ppd) || RunClient("lpadmin", args, &out) != 0 ||
        (queue.makeDefault && RunClient("lpadmin", {"-d", queue.name}, &out) != 0)) {
      if (error) *error = "lpadmin " + args.join(' ') + ": " + out;
      return false;
    }
  }
  return true;
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
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < timeoutMs) {
    QString pending;
    RunClient("lpstat", {"-W", "not-completed", "-o"}, &pending);
    if (pending.trimmed().isEmpty() && CompletedJobs(queue) >= jobs) return true;
    QThread::msleep(20);
  }
  return false;
}

}  // namespace corvel::test
