#include "tests/support/driverless_printer.h"

#include <arpa/inet.h>
#include <cups/cups.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <csignal>

#include "tests/support/cups_daemon.h"

namespace corvel::test {
namespace {

constexpr int kStartMs = 30000;  // each of the three may take this long to come up

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return address;
}

// A TCP port on which nothing listens now: the one the kernel picks for port 0.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  int port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  if (fd >= 0) ::close(fd);
  return port;
}

// True when something takes connections on the local port.
bool Listens(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(port);
  const bool connected =
      fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) ::close(fd);
  return connected;
}

// Reads the process's output until it holds `text` (true), or the process ends or
// kStartMs pass (false); `seen` receives what it wrote.
bool WaitForOutput(QProcess& process, const QByteArray& text, QByteArray& seen) {
  QElapsedTimer waited;
  waited.start();
  while (!seen.contains(text) && process.state() == QProcess::Running &&
         waited.elapsed() < kStartMs) {
    process.waitForReadyRead(int(kStartMs - waited.elapsed()));
    seen += process.readAll();
  }
  return seen.contains(text);
}

bool WriteText(const QString& path, const QString& text) {
  QFile file(path);
  const QByteArray bytes = text.toUtf8();
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

}  // namespace

bool DriverlessPrinter::Installed() {
  for (const char* program :
       {"/usr/sbin/ippeveprinter", "/usr/sbin/avahi-daemon", "/usr/bin/dbus-daemon"})
    if (!QFileInfo(program).isExecutable()) return false;
  return true;
}

QString DriverlessPrinter::Launch(QProcess& process, const QString& program,
                                  const QStringList& args) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + root_->filePath("bus"));
  process.setProcessEnvironment(env);
  process.setProcessChannelMode(QProcess::MergedChannels);
  // Ends with the test process, should that end without stopping it (a crash, a time-out):
  // avahi-daemon in turn ends when its bus goes away.
  process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
  process.start(program, args);
  return process.waitForStarted(kStartMs) ? QString() : program + " did not start";
}

bool DriverlessPrinter::Start(const QString& defaultMedia, QString* error) {
  const QString why = [&]() -> QString {
    if (!Installed()) return "ippeveprinter, avahi-daemon or dbus-daemon is not installed";
    // libcups' answer points into a buffer the next call overwrites: read it at once.
    const pwg_media_t* media = pwgMediaForPWG(defaultMedia.toUtf8().constData());
    if (!media) return "no media named " + defaultMedia;
    const int width = media->width, length = media->length;
    // A short path: the bus socket's path is limited to about 100 bytes.
    root_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/corvel-ipp-XXXXXX");
    const QString base = root_->path();
    const auto config = [](const char* name) {
      return QString::fromUtf8(CupsDaemon::SupportFile("cupsd/", name));
    };
    if (!root_->isValid() || !QDir(base).mkpath("jobs") ||
        !WriteText(base + "/dbus-bus.conf", config("dbus-bus.conf").arg(base)) ||
        !WriteText(base + "/avahi-daemon.conf", config("avahi-daemon.conf")) ||
        !WriteText(base + "/label-printer.conf",
                   config("label-printer.conf").arg(defaultMedia).arg(width).arg(length)))
      return "cannot write the configuration into a temporary folder";

    QByteArray seen;
    bus_ = std::make_unique<QProcess>();
    QString failed =
        Launch(*bus_, "/usr/bin/dbus-daemon",
               {"--config-file=" + base + "/dbus-bus.conf", "--nofork", "--print-address"});
    // The bus prints its address once it listens.
    if (failed.isEmpty() && !WaitForOutput(*bus_, "unix:path=", seen))
      failed = "dbus-daemon did not come up: " + QString::fromUtf8(seen);
    if (!failed.isEmpty()) return failed;

    seen.clear();
    avahi_ = std::make_unique<QProcess>();
    failed =
        Launch(*avahi_, "/bin/sh",
               {QStringLiteral(CORVEL_SOURCE_DIR "/tests/support/cupsd/private-avahi.sh"), base});
    if (failed.isEmpty() && !WaitForOutput(*avahi_, "Server startup complete", seen))
      failed = "avahi-daemon did not come up: " + QString::fromUtf8(seen);
    if (!failed.isEmpty()) return failed;

    port_ = FreePort();
    printer_ = std::make_unique<QProcess>();
    failed = Launch(*printer_, "/usr/sbin/ippeveprinter",
                    {"-a", base + "/label-printer.conf", "-c", "/bin/true", "-k", "-d",
                     base + "/jobs", "-n", "localhost", "-r", "off", "-p", QString::number(port_),
                     QString("Corvel test labels %1").arg(::getpid())});
    if (!failed.isEmpty()) return failed;
    QElapsedTimer waited;
    for (waited.start(); waited.elapsed() < kStartMs; QThread::msleep(20))
      if (Listens(port_) || printer_->state() != QProcess::Running) break;
    if (printer_->state() == QProcess::Running && Listens(port_)) return {};
    return "ippeveprinter did not come up: " + QString::fromUtf8(printer_->readAll());
  }();
  if (why.isEmpty()) return true;
  if (error) *error = why;
  Stop();
  return false;
}

void DriverlessPrinter::Stop() {
  for (auto* process : {&printer_, &avahi_, &bus_}) {
    if (*process && (*process)->state() != QProcess::NotRunning) {
      (*process)->terminate();
      if (!(*process)->waitForFinished(10000)) (*process)->kill();
      (*process)->waitForFinished(5000);
    }
    process->reset();
  }
  root_.reset();
}

QByteArray DriverlessPrinter::LastDocument() const {
  if (!root_) return {};
  // Documents are kept as "<job id>-<name>.<type>"; the command's output as ".prn".
  const QDir jobs(root_->filePath("jobs"));
  QString last;
  int lastId = 0;
  for (const QString& name : jobs.entryList(QDir::Files)) {
    const int id = name.section('-', 0, 0).toInt();
    if (id > lastId && !name.endsWith(".prn")) lastId = id, last = name;
  }
  QFile file(jobs.filePath(last));
  return !last.isEmpty() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void DriverlessPrinter::ForgetDocuments() const {
  if (!root_) return;
  QDir jobs(root_->filePath("jobs"));
  for (const QString& name : jobs.entryList(QDir::Files))
    jobs.remove(name);
}

}  // namespace corvel::test
