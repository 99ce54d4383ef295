#include "tests/support/cups_daemon.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>

namespace corvel::test {
namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr const char* kGenericPdfPpd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";

bool WriteText(const QString& path, const QString& text) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(text.toUtf8()) == text.toUtf8().size();
}

// Folders the scheduler's filters (which may run as another user) must reach.
void OpenToAll(const QString& path) {
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                  QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                  QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
}

}  // namespace

CupsDaemon::~CupsDaemon() {
  Stop();
}

bool CupsDaemon::Installed() {
  return QFileInfo(kCupsd).isExecutable();
}

QString CupsDaemon::Socket() const {
  return root_ ? root_->filePath("cups.sock") : QString();
}

void CupsDaemon::SetClientEnvironment() const {
  qputenv("CUPS_SERVER", Socket().toUtf8());
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
  QFile::setPermissions(base, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                  QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                  QFile::ExeOther);
  for (const char* sub : {"spool", "tmp", "cache", "state", "log", "out", "ppd"}) {
    QDir(base).mkpath(sub);
    OpenToAll(base + "/" + sub);
  }
  const QString conf = QString(
                           "Listen %1/cups.sock\n"
                           "LogLevel warn\n"
                           "Browsing Off\n"
                           "DefaultAuthType None\n"
                           "WebInterface No\n"
                           "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                           "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                           "  </Limit>\n</Policy>\n")
                           .arg(base);
  const QString files = QString(
                            "ServerRoot %1\n"
                            "RequestRoot %1/spool\n"
                            "TempDir %1/tmp\n"
                            "CacheDir %1/cache\n"
                            "StateDir %1/state\n"
                            "AccessLog %1/log/access_log\n"
                            "ErrorLog %1/log/error_log\n"
                            "PageLog %1/log/page_log\n"
                            "FileDevice Yes\n")
                            .arg(base);
  if (!WriteText(base + "/cupsd.conf", conf) || !WriteText(base + "/cups-files.conf", files)) {
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
  if (daemon_ && daemon_->state() != QProcess::NotRunning) {
    daemon_->terminate();
    if (!daemon_->waitForFinished(10000)) {
      daemon_->kill();
      daemon_->waitForFinished(5000);
    }
  }
  daemon_.reset();
  root_.reset();
}

int CupsDaemon::RunClient(const QString& program, const QStringList& args, QString* output) const {
  QProcess client;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("CUPS_SERVER", Socket());
  client.setProcessEnvironment(environment);
  client.setProcessChannelMode(QProcess::MergedChannels);
  client.start(program, args);
  if (!client.waitForStarted(10000) || !client.waitForFinished(30000)) {
    client.kill();
    client.waitForFinished(5000);
    return -1;
  }
  if (output) *output = QString::fromUtf8(client.readAll());
  return client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
}

QString CupsDaemon::OutputFile(const QString& queue) const {
  return root_ ? root_->filePath("out/" + queue + ".pdf") : QString();
}

bool CupsDaemon::AddPdfQueue(const QString& name, bool makeDefault, QString* error) {
  QString out;
  if (RunClient("lpadmin",
                {"-p", name, "-E", "-v", "file://" + OutputFile(name), "-P", kGenericPdfPpd},
                &out) != 0) {
    if (error) *error = "lpadmin: " + out;
    return false;
  }
  if (makeDefault && RunClient("lpadmin", {"-d", name}, &out) != 0) {
    if (error) *error = "lpadmin -d: " + out;
    return false;
  }
  return true;
}

int CupsDaemon::CompletedJobs(const QString& queue) const {
  QString out;
  if (RunClient("lpstat", {"-W", "completed", "-o", queue}, &out) != 0) return 0;
  return static_cast<int>(out.split('\n', Qt::SkipEmptyParts).size());
}

bool CupsDaemon::HasPendingJobs() const {
  QString out;
  RunClient("lpstat", {"-W", "not-completed", "-o"}, &out);
  return !out.trimmed().isEmpty();
}

bool CupsDaemon::WaitForCompletedJobs(const QString& queue, int jobs, int timeoutMs) const {
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < timeoutMs) {
    if (!HasPendingJobs() && CompletedJobs(queue) >= jobs) return true;
    QThread::msleep(20);
  }
  return false;
}

}  // namespace corvel::test
