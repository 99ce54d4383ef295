#include "platform/serial_line.h"

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
}

void SerialLine::Open(const QString& device) {
  Close();
  device_ = device;
  if (device.isEmpty()) throw IoError("no serial device given");
  port_.setPortName(device);
  port_.setBaudRate(QSerialPort::Baud9600);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  // Errors while opening are reported here, not through failed().
  const QSignalBlocker quiet(this);
  if (!port_.open(QIODevice::ReadWrite)) {
    const QString why = Describe(port_.error());
    port_.clearError();
    throw IoError(why.toStdString());
  }
}

void SerialLine::Close() {
  if (port_.isOpen()) port_.close();
  port_.clearError();
}

void SerialLine::DiscardInput() {
  if (!port_.isOpen()) return;
  port_.clear(QSerialPort::Input);
  port_.readAll();
}

void SerialLine::Write(const QByteArray& bytes) {
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
