// tarewise: the scale label station. One window; its working directory holds the
// product file "pdlist", and its settings are in section "Zebra" of the settings store.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "common/clock.h"
#include "common/errors.h"
#include "common/ini_settings_store.h"
#include "common/settings_sections.h"
#include "corvel_version.h"
#include "platform/cups_queue.h"
#include "platform/printing.h"
#include "platform/qt_dialogs.h"
#include "platform/window_system.h"
#include "station/product_file_lock.h"
#include "station/scale_link.h"
#include "station/station_journal.h"
#include "station/station_setup.h"
#include "station/station_window.h"
#include "tarewise_help.h"

namespace {

// --help and --version answer before anything else happens: no window, no display
// needed, no file created. Returns the exit status, or -1 to go on and start.
int AnswerCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(corvel::help::kHelp, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("tarewise %s\n", CORVEL_VERSION);
      return 0;
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (const int status = AnswerCommandLine(argc, argv); status >= 0) return status;
  // No display: one line and status 1, not Qt's abort.
  corvel::WindowSystemGuard windowSystem("tarewise");
  QApplication app(argc, argv);
  windowSystem.Started();
  // What Qt did not take for itself is no option of ours.
  if (argc > 1) {
    std::fprintf(stderr, "tarewise: unknown argument \"%s\" (see tarewise --help)\n", argv[1]);
    return 2;
  }
  corvel::SetUpFonts();
  // Print server calls run on the label sender's worker thread: one held past every bound
  // is left behind, and the window goes on.
  corvel::SetPrintServerHangHandler([] {});

  corvel::IniSettingsStore settings(corvel::IniSettingsStore::DefaultPath());
  corvel::QtMessageBoxes messages;
  corvel::SystemClock clock;
  // One station per product file: a second one says so and ends before its window shows,
  // rather than opening read-only, where edits the operator makes would not be kept.
  corvel::FileDescriptor productFileLock;
  try {
    productFileLock = corvel::LockProductFile(corvel::kProductFileName);
  } catch (const corvel::Failure& error) {
    messages.Inform(error.what(), "tarewise");
    return 1;
  }
  // Labels are 60 x 40 mm PDF pages unless "PdfPageSize" in section "Zebra" says otherwise.
  // Settings that cannot be read (Corvel.ini a folder or unreadable, its folder a file)
  // must not keep the station from starting: labels then go where they go without
  // settings, and the window says what is wrong.
  std::string settingsProblem;
  corvel::PrinterTarget target;
  try {
    target = corvel::StationTarget(settings);
  } catch (const std::exception& error) {
    settingsProblem = error.what();
    target = corvel::StationTarget(corvel::MemorySettingsStore());
  }

  corvel::StationServices services{settings, messages, clock, target,
                                   [target] { return corvel::MakePrintSurface(target); }};
  // Labels are sent by a worker thread: the window and the scale never wait for the
  // print server, and the status line tells what became of the last label.
  services.makeBackgroundSurface = [target](corvel::PrintStatus status, corvel::PaperReport paper) {
    return corvel::MakeBackgroundPrintSurface(target, std::move(status), std::move(paper));
  };
  // Every label printed gets a row in the journal (on a thread of its own).
  services.openJournal = [&settings, &clock](corvel::JournalWriter::Problem problem) {
    return corvel::OpenStationJournal(settings, clock, std::move(problem));
  };
  corvel::StationWindow window(std::move(services));
  if (!settingsProblem.empty()) window.ReportSettingsProblem(settingsProblem);

  // The scale link polls the port stored as "COMPORT" from the first tick on.
  corvel::ScaleLink scaleLink(window, *window.Timer1, settings, window.PortNumber());
  corvel::ConnectScaleLink(window, scaleLink);

  window.show();
  return app.exec();
}
