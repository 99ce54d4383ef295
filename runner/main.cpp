// sheetwise: the print runner the point-of-sale suite starts after writing a request.
// Reads no arguments; the settings store says which job to run. Exit code 0 when the
// job printed what was asked, otherwise one line on standard error naming the reason.
#include <QApplication>
#include <cstdio>

#include "common/ini_settings_store.h"
#include "platform/printing.h"
#include "platform/qt_dialogs.h"
#include "runner/dispatch.h"
#include "runner/run_state.h"

int main(int argc, char** argv) {
  // The print dialog needs a GUI application; without a display (a print server, an
  // unattended run) the offscreen platform serves.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  (void)argc;
  corvel::SetUpFonts();

  corvel::IniSettingsStore settings(corvel::IniSettingsStore::DefaultPath());
  corvel::QtPrintDialog dialog;
  corvel::QtMessageBoxes messages;
  corvel::RunnerServices services{settings, dialog, messages, &corvel::MakePrintSurface};
  const corvel::RunOutcome outcome = corvel::RunSheetwise(services);
  if (!outcome.reason.empty()) std::fprintf(stderr, "sheetwise: %s\n", outcome.reason.c_str());
  return outcome.exitCode;
}
