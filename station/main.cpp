// tarewise: the scale label station. One window; its working directory holds the
// product file "pdlist", and its settings are in section "Zebra" of the settings store.
#include <QApplication>

#include "common/clock.h"
#include "common/ini_settings_store.h"
#include "platform/printing.h"
#include "platform/qt_dialogs.h"
#include "station/scale_link.h"
#include "station/station_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  corvel::SetUpFonts();

  corvel::IniSettingsStore settings(corvel::IniSettingsStore::DefaultPath());
  corvel::QtMessageBoxes messages;
  corvel::SystemClock clock;
  // Labels are 60 x 40 mm PDF pages unless "PdfPageSize" in section "Zebra" says otherwise.
  const corvel::PrinterTarget target =
      corvel::ChoosePrinterTarget(settings, "Zebra", "tarewise", 60, 40);

  corvel::StationServices services{settings, messages, clock, target,
                                   [target] { return corvel::MakePrintSurface(target); }};
  // Labels are sent by a worker thread: the window and the scale never wait for the
  // print server, and the status line tells what became of the last label.
  services.makeBackgroundSurface = [target](corvel::PrintStatus status) {
    return corvel::MakeBackgroundPrintSurface(target, std::move(status));
  };
  corvel::StationWindow window(std::move(services));

  // The scale link polls the port stored as "COMPORT" from the first tick on.
  corvel::ScaleLink scaleLink(window, *window.Timer1, settings, window.PortNumber());
  corvel::ConnectScaleLink(window, scaleLink);

  window.show();
  return app.exec();
}
