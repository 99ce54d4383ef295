#pragma once
// A driverless (IPP Everywhere) roll-label printer for tests: ippeveprinter on a free local
// port, with the attributes of tests/support/cupsd/label-printer.conf (four label sizes,
// 203 dpi, PWG raster only), keeping every document it receives. ippeveprinter refuses to
// start without DNS-SD, so it gets a private message bus (dbus-daemon) and an
// avahi-daemon on the loopback interface (tests/support/cupsd/private-avahi.sh); it
// announces nothing ("-r off"), so no other print server on the machine picks it up. A
// print server reaches it as a queue made with "lpadmin -m everywhere -v Uri()".
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace corvel::test {

class DriverlessPrinter {
 public:
  DriverlessPrinter() = default;
  ~DriverlessPrinter() { Stop(); }
  DriverlessPrinter(const DriverlessPrinter&) = delete;
  DriverlessPrinter& operator=(const DriverlessPrinter&) = delete;

  // True when ippeveprinter, avahi-daemon and dbus-daemon are installed.
  static bool Installed();

  // Starts the printer with `defaultMedia` (a PWG media name among those the
  // configuration offers) as its default, and waits until it takes connections. False
  // (with `error` set) on failure.
  bool Start(const QString& defaultMedia, QString* error);
  // Stops the printer, avahi-daemon and the bus, in that order (also done by the destructor).
  void Stop();

  // "ipp://localhost:PORT/ipp/print"
  QString Uri() const { return QString("ipp://localhost:%1/ipp/print").arg(port_); }
  // The last document the printer received, as received; empty when none.
  QByteArray LastDocument() const;
  // Removes the documents received so far.
  void ForgetDocuments() const;

 private:
  QString Launch(QProcess& process, const QString& program, const QStringList& args);

  std::unique_ptr<QTemporaryDir> root_;
  // Started in this order, stopped in the reverse one.
  std::unique_ptr<QProcess> bus_, avahi_, printer_;
  int port_ = 0;
};

}  // namespace corvel::test
