#include "tests/support/cups_daemon.h"

#include <cups/cups.h>
#include <sys/prctl.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <QtEndian>
#include <algorithm>
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
  // Ends with the test process, should that end without stopping it (a crash, a time-out).
  daemon_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
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

QString CupsDaemon::AddQueue(const Queue& queue) {
  // A driver's output in the printer's language; our PPDs' output is PDF.
  const QString device = !queue.uri.isEmpty()    ? queue.uri
                         : queue.model.isEmpty() ? "file://" + OutputFile(queue.name)
                                                 : "file://" + root_->filePath("out/" + queue.name);
  QStringList args = {"-p", queue.name, "-E", "-v", device};
  if (queue.model.isEmpty()) {
    // Not in the scheduler's own ppd folder, where it keeps its copy.
    const QString path = root_->filePath("log/" + queue.name + "-source.ppd");
    if (!WriteBytes(path, queue.ppd)) return "cannot write " + path;
    args << "-P" << path;
  } else {
    args << "-m" << queue.model;
  }
  QString out;
  if (RunClient("lpadmin", args, &out) != 0) return "lpadmin " + args.join(' ') + ": " + out;
  // A driverless queue gets its PPD a moment later, from the printer's answer; the
  // scheduler writes it under another name and renames it when complete.
  const QString ppd = root_->filePath("ppd/" + queue.name + ".ppd");
  if (!Poll(30000, [&] { return QFileInfo::exists(ppd); })) return "no PPD for " + queue.name;
  QStringList set = {"-p", queue.name};
  for (const QString& option : queue.options)
    set << "-o" << option;
  if (!queue.options.isEmpty() && RunClient("lpadmin", set, &out) != 0)
    return "lpadmin " + set.join(' ') + ": " + out;
  if (queue.makeDefault && RunClient("lpadmin", {"-d", queue.name}, &out) != 0)
    return "lpadmin -d " + queue.name + ": " + out;
  return {};
}

bool CupsDaemon::StartWithQueues(const std::vector<Queue>& queues, QString* error) {
  QString why = Start();
  for (auto queue = queues.begin(); why.isEmpty() && queue != queues.end(); ++queue)
    why = AddQueue(*queue);
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

QSizeF CupsDaemon::MediaSizeMm(const QString& name) {
  static const QRegularExpression points(
      QStringLiteral("^w(\\d+(?:\\.\\d+)?)h(\\d+(?:\\.\\d+)?)$"));
  if (const QRegularExpressionMatch match = points.match(name); match.hasMatch())
    return QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble()) * 25.4 / 72;
  const QByteArray text = name.toUtf8();
  const pwg_media_t* media = pwgMediaForPPD(text.constData());
  if (!media) media = pwgMediaForPWG(text.constData());
  return media ? QSizeF(media->width, media->length) / 100 : QSizeF();
}

int CupsDaemon::LastJobId(const QString& queue) const {
  QString out;
  if (RunClient("lpstat", {"-W", "all", "-o", queue}, &out) != 0) return 0;
  int last = 0;
  for (const QString& line : out.split('\n', Qt::SkipEmptyParts))  // "QUEUE-12  user  ..."
    last = std::max(last, line.section(' ', 0, 0).section('-', -1).toInt());
  return last;
}

QString CupsDaemon::SubmittedDocument(int jobId) const {
  return root_ ? root_->filePath(QString("spool/d%1-001").arg(jobId, 5, 10, QChar('0')))
               : QString();
}

QByteArray CupsDaemon::DeviceOutput(const QString& queue) const {
  QFile file(root_ ? root_->filePath("out/" + queue) : QString());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void CupsDaemon::ForgetOutput(const QString& queue) const {
  if (!root_) return;
  QFile::remove(root_->filePath("out/" + queue));
  QFile::remove(OutputFile(queue));
}

std::map<QString, QString> CupsDaemon::JobAttributes(int jobId) const {
  // The job's control file is its creation request in IPP's encoding: 8 bytes of header,
  // then attributes (value tag, 16-bit name length, name, 16-bit value length, value),
  // group tags (below 0x10) between them and 0x03 at the end. A value without a name
  // adds to the attribute before it.
  std::map<QString, QString> attributes;
  QFile file(root_ ? root_->filePath(QString("spool/c%1").arg(jobId, 5, 10, QChar('0'))) : "");
  if (!file.open(QIODevice::ReadOnly)) return attributes;
  const QByteArray ipp = file.readAll();
  constexpr uchar kEnd = 0x03, kInteger = 0x21, kEnum = 0x23, kBoolean = 0x22,
                  kBeginCollection = 0x34, kEndCollection = 0x37;
  const auto number = [&ipp](qsizetype at) { return (uchar(ipp[at]) << 8) | uchar(ipp[at + 1]); };
  QString name;
  int depth = 0;  // inside a collection: its members are not listed
  for (qsizetype at = 8; at < ipp.size();) {
    const uchar tag = uchar(ipp[at++]);
    if (tag == kEnd) break;
    if (tag < 0x10) continue;
    if (at + 2 > ipp.size()) break;
    const int nameLength = number(at);
    if (at + 2 + nameLength + 2 > ipp.size()) break;
    const QString attributeName = QString::fromUtf8(ipp.mid(at + 2, nameLength));
    const int length = number(at + 2 + nameLength);
    const QByteArray value = ipp.mid(at + 4 + nameLength, length);
    at += 4 + nameLength + length;
    const bool named = nameLength > 0 && depth == 0;
    if (tag == kBeginCollection) ++depth;
    if (tag == kEndCollection) --depth;
    if (named) name = attributeName;
    if ((depth > 0 && tag != kBeginCollection) || tag == kEndCollection) continue;
    QString text = QString::fromUtf8(value);
    if ((tag == kInteger || tag == kEnum) && length == 4)
      text = QString::number(qFromBigEndian<qint32>(value.constData()));
    if (tag == kBoolean && length == 1) text = value[0] ? "true" : "false";
    if (tag == kBeginCollection) text = "{...}";
    QString& slot = attributes[name];
    slot = named ? text : slot + "," + text;
  }
  return attributes;
}

}  // namespace corvel::test
