#pragma once
// The scale's serial line on QSerialPort, with the line settings its protocol gives (the
// station's own scale: 9600 baud, 8 data bits, no parity, one stop bit), no flow control.
// Event-driven: readyRead() when characters arrive, failed() when the open port breaks (a device
// that vanishes raises a read or resource error). Error texts name the device so that the operator
// knows which port to look at.
#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QString>
#include <memory>

#include "common/serial_line_settings.h"
#include "common/settings_store.h"

namespace corvel {

// The device for serial port number `port`: the text of key "COM<port>" in section
// "Zebra" when present (for example "COM1=/dev/ttyUSB0"), else "/dev/ttyS<port-1>".
// Empty for a number below 1, which names no port.
QString SerialDeviceForPort(const SettingsStore& settings, int port);

class SerialLine : public QObject {
  Q_OBJECT

 public:
  explicit SerialLine(QObject* parent = nullptr);
  ~SerialLine() override;

  // Opens `device` with `settings` and without flow control. Throws IoError naming the
  // device and the reason ("/dev/ttyS4: no such device") when it cannot be opened.
  void Open(const QString& device, const SerialLineSettings& settings = {});
  void Close();
  bool IsOpen() const { return port_.isOpen() || plain_ >= 0; }

  // Queues `bytes` for sending. Throws IoError when the port refuses them.
  void Write(const QByteArray& bytes);
  qint64 BytesAvailable() const {
    return plain_ >= 0 ? plainWaiting_.size() : port_.bytesAvailable();
  }
  // Every character waiting at this moment.
  QByteArray ReadAll();
  // The same, left waiting.
  QByteArray Peek();
  // Drops every character received and not yet read, the system's buffer included.
  void DiscardInput();

 signals:
  void readyRead();
  // The open port failed (read, write or resource error). The port is closed before
  // this is emitted; `message` names the device and the error.
  void failed(const QString& message);

 private:
  void OnError(QSerialPort::SerialPortError error);
  QString Describe(QSerialPort::SerialPortError error) const;
  void OpenPlain(const QString& device);
  void OnPlainReadable();

  QSerialPort port_;
  QString device_;
  int plain_ = -1;  // the plain device, when one is open
  std::unique_ptr<QSocketNotifier> plainNotifier_;
  QByteArray plainWaiting_;
};

}  // namespace corvel
