// The dispatcher: which job runs for each "Barcodetype", with what run state, when the
// print dialog is shown, and how a run ends.
#include <gtest/gtest.h>

#include "common/errors.h"
#include "runner/dispatch.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

enum class Job { None, Shelf, Roll, Page10, Page20, Sheet };

struct Call {
  Job job;
  RunState state;
  int paperSize;  // as set on the surface
};

struct ScriptedDialog : PrintDialog {
  bool accept = true;
  int copies = 1, shown = 0;
  PrinterTarget seen;
  bool Run(PrinterTarget& target, int& n) override {
    ++shown, seen = target;
    n = target.copies = copies;  // as a real dialog reports it; the run must not rely on it
    return accept;
  }
};

struct Harness {
  MemorySettingsStore settings;
  ScriptedDialog dialog;
  test::FakeMessages messages;
  std::shared_ptr<RecordingSurface> surface;
  std::optional<PrinterTarget> target;
  std::vector<Call> calls;
  std::function<void(RunContext&)> jobBody = [](RunContext&) {};

  Harness(const std::string& selector, int copies = 1, const std::string& display = "") {
    dialog.copies = copies;
    settings.Save(kPrinterSection, "PdfFolder", test::MakeTempFolder().toStdString());
    if (!selector.empty()) settings.Save(kRunnerSection, "Barcodetype", selector);
    if (!display.empty()) settings.Save(kPrinterSection, "Display", display);
  }

  RunOutcome Run() {
    const auto record = [this](Job job, RunContext& run) {
      calls.push_back({job, run.state, surface->LastPaperSize()});
      jobBody(run);
    };
    RunnerJobs jobs{
        [=](RunContext& run) { record(Job::Roll, run); },
        [=](RunContext& run, int n) { record(n == 20 ? Job::Page20 : Job::Page10, run); },
        [=](RunContext& run, std::int16_t) { record(Job::Sheet, run); },
        [=](RunContext& run) { record(Job::Shelf, run); }};
    RunnerServices services{settings, dialog, messages,
                            [this](const PrinterTarget& chosen) {
                              target = chosen;
                              return surface = std::make_shared<RecordingSurface>();
                            },
                            jobs};
    return RunSheetwise(services);
  }
};

TEST(Dispatch, SelectsJobAndRunState) {
  const int A5 = kPaperA5, U = kPaperUser, F = kExitFailed;
  const struct {
    std::string selector;      // empty: key absent
    std::string display = "";  // empty: key absent
    int copies = 1, exitCode = 0;
    bool dialogShown = true;
    Job job = Job::None;
    int calls = 0, runCopies = 1, sheetType = 0, layoutNumber = 0;
    std::string layoutCode = "";
    int paperSize = 0;
  } cases[] = {
      // clang-format off
      // Barcode requests: the dialog always comes first.
      {.selector = "", .exitCode = F},
      {.selector = "Z", .copies = 3, .job = Job::Roll, .calls = 1, .runCopies = 3},
      {.selector = "P", .job = Job::Page10, .calls = 1},
      {.selector = "P20", .job = Job::Page20, .calls = 1},
      {.selector = "1S", .exitCode = F},
      {.selector = "  44 ", .job = Job::Sheet, .calls = 1, .sheetType = 44},
      // Shelf requests: no dialog unless "Display" is True; copies run the job again.
      {.selector = "S3", .copies = 5, .dialogShown = false, .job = Job::Shelf, .calls = 1, .layoutNumber = 3, .layoutCode = "S3", .paperSize = U},
      {.selector = "S3", .display = "True", .copies = 2, .job = Job::Shelf, .calls = 2, .runCopies = 2, .layoutNumber = 3, .layoutCode = "S3", .paperSize = U},
      {.selector = "S2", .display = "maybe", .exitCode = F, .dialogShown = false},
      {.selector = "S", .dialogShown = false, .job = Job::Shelf, .calls = 1, .layoutCode = "S ", .paperSize = A5},
      {.selector = "S12", .dialogShown = false, .job = Job::Shelf, .calls = 1, .layoutNumber = 1, .layoutCode = "S1", .paperSize = A5},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("'" + c.selector + "' Display '" + c.display + "'");
    Harness harness(c.selector, c.copies, c.display);
    const RunOutcome outcome = harness.Run();
    EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.reason;
    EXPECT_EQ(outcome.reason.empty(), c.exitCode == kExitPrinted) << outcome.reason;
    EXPECT_EQ(harness.dialog.shown, c.dialogShown ? 1 : 0);
    ASSERT_EQ(int(harness.calls.size()), c.calls);
    for (const Call& call : harness.calls) {
      EXPECT_EQ(std::tuple(call.job, call.state.Copies, call.state.SheetType),
                std::tuple(c.job, c.runCopies, c.sheetType));
      if (c.job != Job::Shelf) continue;
      EXPECT_EQ(std::tuple(call.state.ShelfLayoutNumber, call.state.ShelfLayoutCode,
                           call.state.ShelfPaperSize, call.paperSize),
                std::tuple(c.layoutNumber, c.layoutCode, c.paperSize, c.paperSize));
    }
    EXPECT_TRUE(!harness.target || harness.target->copies == 1) << "jobs make the copies";
  }
}

// A failure abandons the document in progress (one already ended stays); with "Display"
// True and several shelf copies, the later copies still run and the first failure is the
// run's outcome after the last.
TEST(Dispatch, FailureAbandonsTheDocumentInProgressLaterCopiesStillRun) {
  const struct {
    const char* selector;
    int copies, calls, ended;
    std::string reason;
  } cases[] = {{"Z", 1, 1, 1, "printer went away"},
               {"S2", 3, 3, 3, "copy 1 of 3: printer went away"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.selector);
    Harness harness(c.selector, c.copies, "True");
    harness.jobBody = [&harness](RunContext& run) {
      run.surface.Print("first", true);
      run.surface.EndDoc();
      if (harness.calls.size() > 1) return;
      run.surface.Print("second, half drawn", true);
      throw PrintError("printer went away");
    };
    const RunOutcome outcome = harness.Run();
    EXPECT_EQ(std::pair(outcome.exitCode, outcome.reason), std::pair(kExitFailed, c.reason));
    EXPECT_EQ(int(harness.calls.size()), c.calls);
    EXPECT_EQ(harness.surface->EndedDocuments(), c.ended);
    EXPECT_EQ(harness.surface->AbortedDocuments(), 1);
  }
}

// The page size offered to the dialog and the printer: the job's own, or the settings'.
TEST(Dispatch, PageSizeOfferedToTheDialogAndThePrinter) {
  const struct {
    std::string selector, key, value;  // key "": none set
    double widthMm, heightMm;          // 0: the run fails before the dialog
  } cases[] = {{"S3", "", "", 105, 148},
               {"Z", "PdfPageSizeZ", "100 x 50", 100, 50},
               {"P", "PdfPageSizeP", "216x279.4", 216, 279.4},
               {"Z", "PdfPageSizeZ", "big", 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.selector + " " + c.key);
    Harness harness(c.selector, 1, "True");
    if (!c.key.empty()) {  // the job's own key wins over the key of other jobs
      harness.settings.Save(kPrinterSection, "PdfPageSize", "80x30");
      harness.settings.Save(kPrinterSection, c.key, c.value);
    }
    const RunOutcome outcome = harness.Run();
    EXPECT_EQ(outcome.exitCode, c.widthMm ? kExitPrinted : kExitFailed) << outcome.reason;
    EXPECT_EQ(harness.dialog.shown, c.widthMm ? 1 : 0);
    EXPECT_EQ(std::pair(harness.dialog.seen.pageWidthMm, harness.dialog.seen.pageHeightMm),
              std::pair(c.widthMm, c.heightMm));
  }
}

// Sheet types from settings texts of any length: no stack-bound parsing, no locale; a
// half rounds to even; too small for a double reads as 0.
TEST(Dispatch, SheetTypesFromText) {
  const std::string long40k(40000, '4');
  const std::pair<std::string, std::optional<std::int16_t>> types[] = {
      {"44.5", 44}, {"65.5", 66}, {"4 4", {}}, {"1e-400", 0}, {long40k + "x", {}}};
  for (const auto& [text, type] : types)
    EXPECT_EQ(ReadSheetType(text), type) << text.substr(0, 20);
  EXPECT_THROW(ReadSheetType(long40k), OverflowError);
}

}  // namespace
}  // namespace corvel
