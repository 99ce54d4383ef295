// sheetwise: the print runner the point-of-sale suite starts after writing a request.
// Reads no arguments but --help and --version; the settings store says which job to
// run. Exit code 0 when the job printed what was asked, otherwise one line on standard
// error naming the reason.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/errors.h"
#include "common/ini_settings_store.h"
#include "corvel_version.h"
#include "platform/printing.h"
#include "platform/qt_dialogs.h"
#include "platform/window_system.h"
#include "runner/dispatch.h"
#include "runner/run_journal.h"
#include "runner/run_state.h"
#include "sheetwise_help.h"

namespace {

// The dialog the run shows, refused at once where it cannot be answered: an unknown
// CORVEL_PRINT_DIALOG value, or no display to show it on (it would wait unseen forever).
class RunnerPrintDialog : public corvel::PrintDialog {
 public:
  explicit RunnerPrintDialog(bool canShow) : canShow_(canShow) {}
  bool Run(corvel::PrinterTarget& target, int& copies) override {
    if (const std::string problem = corvel::UnattendedAnswerProblem(); !problem.empty())
      throw corvel::Failure(problem);
    if (!corvel::DialogsUnattended() && !canShow_) {
      throw corvel::Failure(
          "no display to show the print dialog on: run it in a desktop session, or "
          "unattended with CORVEL_PRINT_DIALOG=accept (or accept:N, or cancel)");
    }
    return dialog_.Run(target, copies);
  }

 private:
  bool canShow_;
  corvel::QtPrintDialog dialog_;
};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(corvel::help::kHelp, stdout);
      return corvel::kExitPrinted;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("sheetwise %s\n", CORVEL_VERSION);
      return corvel::kExitPrinted;
    }
    // The suite starts the program without arguments; a mistyped option must not print
    // the last request again.
    if (argv[i][0] == '-') {
      std::fprintf(stderr, "sheetwise: unknown option %s (see sheetwise --help)\n", argv[i]);
      return corvel::kExitFailed;
    }
  }
  // The print dialog needs a GUI application; without a display (a print server, an
  // unattended run) the offscreen platform serves, and no dialog can be shown on it.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  // A display that is set but cannot be used: one line and status 1, not Qt's abort.
  corvel::WindowSystemGuard windowSystem("sheetwise");
  QApplication app(qtArgc, argv);
  windowSystem.Started();
  const QString platform = QGuiApplication::platformName();
  const bool canShow = platform != "offscreen" && platform != "minimal";
  corvel::SetUpFonts();

  corvel::IniSettingsStore settings(corvel::IniSettingsStore::DefaultPath());
  RunnerPrintDialog dialog(canShow);
  corvel::QtMessageBoxes messages;
  // Every run gets one row in the journal: what it printed, where, how it ended.
  corvel::RunCounts counts;
  corvel::RunnerServices services{settings, dialog, messages,
                                  corvel::CountingSurfaces(&corvel::MakePrintSurface, counts)};
  const corvel::RunOutcome outcome = corvel::RunSheetwise(services);
  if (!outcome.reason.empty()) std::fprintf(stderr, "sheetwise: %s\n", outcome.reason.c_str());
  if (const std::string problem = corvel::JournalRun(settings, counts, outcome); !problem.empty())
    std::fprintf(stderr, "sheetwise: the run is not in the journal: %s\n", problem.c_str());
  return outcome.exitCode;
}
