// The dispatcher: which job runs for each "Barcodetype", with what run state, when the
// print dialog is shown, and how a run ends.
#include <gtest/gtest.h>

#include "common/errors.h"
#include "runner/dispatch.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {
using namespace std::string_literals;

enum class Job { None, Shelf, Roll, Page10, Page20, Sheet };

struct Call {
  Job job;
  RunState state;
  int paperSize;
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

  Harness(const std::string& selector, bool accept = true, int copies = 1) {
    dialog.accept = accept;
    dialog.copies = copies;
    settings.Save(kPrinterSection, "PdfFolder", test::MakeTempFolder().toStdString());
    if (!selector.empty()) settings.Save(kRunnerSection, "Barcodetype", selector);
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
  const int A5 = kPaperA5, U = kPaperUser, F = kExitFailed, C = kExitCancelled;
  const struct {
    std::string selector;      // empty: key absent
    std::string display = "";  // empty: key absent
    bool accept = true;
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
      {.selector = "", .accept = false, .exitCode = C},
      {.selector = "Z", .copies = 3, .job = Job::Roll, .calls = 1, .runCopies = 3},
      {.selector = "P", .job = Job::Page10, .calls = 1},
      {.selector = "P20", .job = Job::Page20, .calls = 1},
      {.selector = "1S", .exitCode = F},
      {.selector = "  44 ", .job = Job::Sheet, .calls = 1, .sheetType = 44},
      // Shelf requests: no dialog unless "Display" is True; copies run the job again.
      {.selector = "S3", .copies = 5, .dialogShown = false, .job = Job::Shelf, .calls = 1, .layoutNumber = 3, .layoutCode = "S3", .paperSize = U},
      {.selector = "S3", .display = "True", .copies = 2, .job = Job::Shelf, .calls = 2, .runCopies = 2, .layoutNumber = 3, .layoutCode = "S3", .paperSize = U},
      {.selector = "S1", .display = "False", .copies = 4, .dialogShown = false, .job = Job::Shelf, .calls = 1, .layoutNumber = 1, .layoutCode = "S1", .paperSize = A5},
      {.selector = "S2", .display = "maybe", .exitCode = F, .dialogShown = false},
      {.selector = "S", .dialogShown = false, .job = Job::Shelf, .calls = 1, .layoutCode = "S ", .paperSize = A5},
      {.selector = "S12", .dialogShown = false, .job = Job::Shelf, .calls = 1, .layoutNumber = 1, .layoutCode = "S1", .paperSize = A5},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("'" + c.selector + "' Display '" + c.display + "'");
    Harness harness(c.selector, c.accept, c.copies);
    if (!c.display.empty()) harness.settings.Save(kPrinterSection, "Display", c.display);
    const RunOutcome outcome = harness.Run();
    EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.reason;
    EXPECT_EQ(outcome.reason.empty(), c.exitCode == kExitPrinted) << outcome.reason;
    EXPECT_EQ(harness.dialog.shown, c.dialogShown ? 1 : 0);
    ASSERT_EQ(int(harness.calls.size()), c.calls);
    for (const Call& call : harness.calls) {
      EXPECT_EQ(call.job, c.job);
      EXPECT_EQ(call.state.Copies, c.runCopies);
      EXPECT_EQ(call.state.SheetType, c.sheetType);
      if (c.job != Job::Shelf) continue;
      EXPECT_EQ(call.state.ShelfLayoutNumber, c.layoutNumber);
      EXPECT_EQ(call.state.ShelfLayoutCode, c.layoutCode);
      EXPECT_EQ(call.state.ShelfPaperSize, c.paperSize);
      EXPECT_EQ(call.paperSize, c.paperSize) << "paper size set on the printer";
    }
    EXPECT_TRUE(!harness.target || harness.target->copies == 1) << "jobs make the copies";
  }
}

TEST(Dispatch, DocumentInProgressIsAbandonedEndedOneStays) {
  Harness harness("Z");
  harness.jobBody = [](RunContext& run) {
    run.surface.Print("first label", true);
    run.surface.EndDoc();
    run.surface.Print("second label, half drawn", true);
    throw PrintError("printer went away");
  };
  const RunOutcome outcome = harness.Run();
  EXPECT_EQ(std::pair(outcome.exitCode, outcome.reason),
            std::pair(kExitFailed, "printer went away"s));
  EXPECT_EQ(harness.surface->EndedDocuments(), 1);
  EXPECT_EQ(harness.surface->AbortedDocuments(), 1);
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
    Harness harness(c.selector);
    harness.settings.Save(kPrinterSection, "Display", "True");
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

// Sheet types from settings texts of any length: no stack-bound parsing, no locale.
TEST(Dispatch, SheetTypesFromText) {
  const std::string long40k(40000, '4');
  const struct {
    std::string text;
    std::optional<std::int16_t> type;  // nothing: not a number
    bool overflows = false;
  } types[] = {
      {" +44 ", 44}, {"44.5", 44},  {"65.5", 66},        {".5e2", 50},
      {"4 4", {}},   {"1e-400", 0}, {long40k, {}, true}, {long40k + "x", {}},
  };
  for (const auto& c : types) {
    SCOPED_TRACE(c.text.substr(0, 20));
    if (c.overflows) {
      EXPECT_THROW(ReadSheetType(c.text), OverflowError);
    } else {
      EXPECT_EQ(ReadSheetType(c.text), c.type);
    }
  }
}

// With "Display" True and several copies, a failed copy does not drop the later ones;
// its failure is the run's outcome after the last.
TEST(Dispatch, EveryShelfCopyRunsAfterAFailedOne) {
  Harness harness("S2", true, 3);
  harness.settings.Save(kPrinterSection, "Display", "True");
  int copy = 0;
  harness.jobBody = [&copy](RunContext& run) {
    run.surface.Print("card", true);
    if (++copy == 1) throw EndRun{kExitFailed, "card 1 element 4 cut"};
    run.surface.EndDoc();
  };
  const RunOutcome outcome = harness.Run();
  EXPECT_EQ(harness.calls.size(), 3u);
  EXPECT_EQ(std::pair(outcome.exitCode, outcome.reason),
            std::pair(kExitFailed, "copy 1 of 3: card 1 element 4 cut"s));
  EXPECT_EQ(harness.surface->EndedDocuments(), 2);
}

}  // namespace
}  // namespace corvel
