// tarewise: the scale label station. One window; its working directory holds the
// product file "pdlist", and its settings are in section "Zebra" of the settings store.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "common/clock.h"
#include "common/ini_settings_store.h"
#include "platform/printing.h"
#include "station/station_window.h"

namespace {

// Message boxes on Qt; with CORVEL_PRINT_DIALOG set (unattended runs) messages go to
// standard error and questions are answered with their default button.
class StationMessageBoxes : public corvel::MessageBoxes {
 public:
  bool AskYesNo(std::string_view text, std::string_view title, bool defaultYes) override {
    if (Unattended()) {
      std::fprintf(stderr, "%.*s: %.*s -> %s\n", int(title.size()), title.data(), int(text.size()),
                   text.data(), defaultYes ? "Yes" : "No");
      return defaultYes;
    }
    const auto answer = QMessageBox::question(
        QApplication::activeWindow(), QString::fromUtf8(title.data(), title.size()),
        QString::fromUtf8(text.data(), text.size()), QMessageBox::Yes | QMessageBox::No,
        defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return answer == QMessageBox::Yes;
  }
  void Inform(std::string_view text, std::string_view title) override {
    if (Unattended()) {
      std::fprintf(stderr, "%.*s\n", int(text.size()), text.data());
      return;
    }
    QMessageBox::information(QApplication::activeWindow(),
                             QString::fromUtf8(title.data(), title.size()),
                             QString::fromUtf8(text.data(), text.size()));
  }

 private:
  static bool Unattended() { return !qEnvironmentVariableIsEmpty("CORVEL_PRINT_DIALOG"); }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  corvel::SetUpFonts();

  corvel::IniSettingsStore settings(corvel::IniSettingsStore::DefaultPath());
  StationMessageBoxes messages;
  corvel::SystemClock clock;
  // Labels are 60 x 40 mm PDF pages unless "PdfPageSize" in section "Zebra" says otherwise.
  const corvel::PrinterTarget target =
      corvel::ChoosePrinterTarget(settings, "Zebra", "tarewise", 60, 40);

  corvel::StationWindow window(corvel::StationServices{
      settings, messages, clock, target, [target] { return corvel::MakePrintSurface(target); }});

  // ---- scale link: created here, connected to the window ----

  window.show();
  return app.exec();
}
