#include "platform/serial_line.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/errors.h"
#include "common/settings_sections.h"

namespace corvel {

QString SerialDeviceForPort(const SettingsStore& settings, int port) {
  if (port < 1) return {};
  const std::string key = "COM" + std::to_string(port);
  if (const auto device = settings.Get(kStationSection, key); device && !device->empty())
    return QString::fromStdString(*device);
  return QStringLiteral("/dev/ttyS%1").arg(static_cast<long long>(port) - 1);
}

SerialLine::SerialLine(QObject* parent) : QObject(parent) {
  connect(&port_, &QSerialPort::readyRead, this, &SerialLine::readyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &SerialLine::OnError);
}

SerialLine::~SerialLine() {
  // No failed() from a port closed with its owner.
  port_.disconnect(this);
  plainNotifier_.reset();
  if (plain_ >= 0) ::close(plain_);
}

void SerialLine::Open(const QString& device, const SerialLineSettings& settings) {
  Close();
  device_ = device;
  if (device.isEmpty()) throw IoError("no serial device given");
  if (!settings.terminal) {
    OpenPlain(device);
    return;
  }
  port_.setPortName(device);
  port_.setBaudRate(settings.baud);
  port_.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
  port_.setParity(settings.parity == SerialParity::Even  ? QSerialPort::EvenParity
                  : settings.parity == SerialParity::Odd ? QSerialPort::OddParity
                                                         : QSerialPort::NoParity);
  port_.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  // Errors while opening are reported here, not through failed().
  const QSignalBlocker quiet(this);
  if (!port_.open(QIODevice::ReadWrite)) {
    const QString why = Describe(port_.error());
    port_.clearError();
    throw IoError(why.toStdString());
  }
}

void SerialLine::OpenPlain(const QString& device) {
  // Read only: a report node needs no more, and read access is all a udev rule grants.
  plain_ = ::open(device.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (plain_ < 0) {
    const QString reason = errno == ENOENT ? QStringLiteral("no such device")
                           : errno == EACCES || errno == EPERM
                               ? QStringLiteral("access denied")
                               : QString::fromLocal8Bit(std::strerror(errno));
    throw IoError(QStringLiteral("%1: %2").arg(device, reason).toStdString());
  }
  plainNotifier_ = std::make_unique<QSocketNotifier>(plain_, QSocketNotifier::Read);
  connect(plainNotifier_.get(), &QSocketNotifier::activated, this, &SerialLine::OnPlainReadable);
}

void SerialLine::OnPlainReadable() {
  char bytes[4096];
  for (;;) {
    const ssize_t n = ::read(plain_, bytes, sizeof bytes);
    if (n > 0) {
      plainWaiting_.append(bytes, n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) break;
    // End of file or an error: the device is gone (a scale unplugged, a writer ended).
    const QString why =
        QStringLiteral("%1: device lost%2")
            .arg(device_,
                 n < 0 ? QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)))
                       : QString());
    Close();
    emit failed(why);
    return;
  }
  emit readyRead();
}

QByteArray SerialLine::ReadAll() {
  if (plain_ < 0) return port_.readAll();
  return std::exchange(plainWaiting_, QByteArray());
}

QByteArray SerialLine::Peek() {
  if (plain_ < 0) return port_.peek(port_.bytesAvailable());
  return plainWaiting_;
}

void SerialLine::Close() {
  if (port_.isOpen()) port_.close();
  port_.clearError();
  plainNotifier_.reset();
  if (plain_ >= 0) ::close(plain_);
  plain_ = -1;
  plainWaiting_.clear();
}

void SerialLine::DiscardInput() {
  plainWaiting_.clear();
  if (!port_.isOpen()) return;
  port_.clear(QSerialPort::Input);
  port_.readAll();
}

void SerialLine::Write(const QByteArray& bytes) {
  if (plain_ >= 0)
    throw IoError((device_ + QStringLiteral(": opened for reading only")).toStdString());
  if (!port_.isOpen())
    throw IoError((device_ + QStringLiteral(": port is not open")).toStdString());
  if (port_.write(bytes) != bytes.size()) {
    const QString why = Describe(port_.error());
    Close();
    throw IoError(why.toStdString());
  }
}

void SerialLine::OnError(QSerialPort::SerialPortError error) {
  if (error == QSerialPort::NoError || !port_.isOpen() || signalsBlocked()) return;
  // Bytes announced as waiting but flushed (DiscardInput) before the port read them
  // leave it reading nothing, which it reports as a read error. The line is still up
  // when the descriptor shows no hang-up or error: keep it.
  if (error == QSerialPort::ReadError) {
    pollfd line{static_cast<int>(port_.handle()), POLLIN, 0};
    if (::poll(&line, 1, 0) >= 0 && !(line.revents & (POLLHUP | POLLERR | POLLNVAL))) {
      port_.clearError();
      return;
    }
  }
  // A broken port keeps signalling; close it so that the next use reopens it.
  const QString why = Describe(error);
  Close();
  emit failed(why);
}

QString SerialLine::Describe(QSerialPort::SerialPortError error) const {
  QString reason;
  switch (error) {
    case QSerialPort::DeviceNotFoundError:
      reason = QStringLiteral("no such device");
      break;
    case QSerialPort::PermissionError:
      reason = QStringLiteral("in use by another program or access denied");
      break;
    case QSerialPort::OpenError:
      reason = QStringLiteral("already open");
      break;
    case QSerialPort::ReadError:
      reason = QStringLiteral("read failed, device lost");
      break;
    case QSerialPort::WriteError:
      reason = QStringLiteral("write failed");
      break;
    case QSerialPort::ResourceError:
      reason = QStringLiteral("device lost");
      break;
    default:
      reason = QStringLiteral("error");
      break;
  }
  const QString detail = port_.errorString();
  if (!detail.isEmpty() && detail != QStringLiteral("Unknown error"))
    reason += QStringLiteral(" (%1)").arg(detail);
  return QStringLiteral("%1: %2").arg(device_, reason);
}

}  // namespace corvel
