// The dispatcher: which job runs for each "Barcodetype", with what run state, when the
// print dialog is shown, and how a run ends.
#include <gtest/gtest.h>

#include "common/errors.h"
#include "runner/dispatch.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

enum class Job { Shelf, Roll, Page10, Page20, Sheet };

// One job started: the job, its run state and the paper size set on the printer.
struct Call {
  Job job;
  int copies = 1, sheetType = 0, layoutNumber = 0;
  std::string layoutCode = "  ";
  int paperSize = kPaperA5, printerPaperSize = 0;
  bool operator==(const Call&) const = default;
};

// A run with recording jobs; the harness is also the print dialog, answering OK with
// `copies`.
struct Harness : PrintDialog {
  MemorySettingsStore settings;
  test::FakeMessages messages;
  int copies = 1, shown = 0;
  std::string printer;  // the queue the job's documents go to
  std::shared_ptr<RecordingSurface> surface;
  std::vector<Call> calls;
  std::function<void(RunContext&)> jobBody = [](RunContext&) {};

  Harness(const std::string& selector, int n = 1, const std::string& display = "") : copies(n) {
    settings.Save(kPrinterSection, "PdfFolder", test::MakeTempFolder().toStdString());
    if (!selector.empty()) settings.Save(kRunnerSection, "Barcodetype", selector);
    if (!display.empty()) settings.Save(kPrinterSection, "Display", display);
  }
  bool Run(PrinterTarget& target, int& n) override {
    ++shown;
    n = target.copies = copies;  // as a real dialog reports it; the run must not rely on it
    return true;
  }
  RunOutcome Dispatch() {
    const auto record = [this](Job job, RunContext& run) {
      const RunState& s = run.state;
      calls.push_back({job, s.Copies, s.SheetType, s.ShelfLayoutNumber, s.ShelfLayoutCode,
                       s.ShelfPaperSize, surface->LastPaperSize()});
      jobBody(run);
    };
    RunnerJobs jobs{
        [=](RunContext& run) { record(Job::Roll, run); },
        [=](RunContext& run, int n) { record(n == 20 ? Job::Page20 : Job::Page10, run); },
        [=](RunContext& run, std::int16_t) { record(Job::Sheet, run); },
        [=](RunContext& run) { record(Job::Shelf, run); }};
    RunnerServices services{settings, *this, messages,
                            [this](const PrinterTarget& chosen) {
                              EXPECT_EQ(chosen.copies, 1) << "jobs make the copies";
                              printer = chosen.queue;
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
    std::vector<Call> calls = {};
  } cases[] = {
      // clang-format off
      // Barcode requests: the dialog always comes first.
      {.selector = "", .exitCode = F},
      {.selector = "Z", .copies = 3, .calls = {{.job = Job::Roll, .copies = 3}}},
      {.selector = "P", .calls = {{.job = Job::Page10}}},
      {.selector = "P20", .calls = {{.job = Job::Page20}}},
      {.selector = "  44 ", .calls = {{.job = Job::Sheet, .sheetType = 44}}},
      // Shelf requests: no dialog unless "Display" is True; copies run the job again.
      {.selector = "S3", .copies = 5, .dialogShown = false, .calls = {{Job::Shelf, 1, 0, 3, "S3", U, U}}},
      {.selector = "S3", .display = "True", .copies = 2, .calls = {{Job::Shelf, 2, 0, 3, "S3", U, U}, {Job::Shelf, 2, 0, 3, "S3", U, U}}},
      {.selector = "S2", .display = "maybe", .exitCode = F, .dialogShown = false},
      {.selector = "S", .dialogShown = false, .calls = {{Job::Shelf, 1, 0, 0, "S ", A5, A5}}},
      {.selector = "S12", .dialogShown = false, .calls = {{Job::Shelf, 1, 0, 1, "S1", A5, A5}}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("'" + c.selector + "' Display '" + c.display + "'");
    Harness harness(c.selector, c.copies, c.display);
    const RunOutcome outcome = harness.Dispatch();
    EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.reason;
    EXPECT_EQ(outcome.reason.empty(), c.exitCode == kExitPrinted) << outcome.reason;
    EXPECT_EQ(harness.shown, c.dialogShown ? 1 : 0);
    EXPECT_EQ(harness.calls, c.calls);
  }
}

// A shop with a printer for each kind of job: each job's own key names its printer, and
// "PrinterName" serves the jobs without one.
TEST(Dispatch, EachJobPrintsOnItsOwnPrinter) {
  const std::pair<const char*, const char*> rows[] = {
      {"S1", "Shelf1"}, {"S2", "Shelf2"}, {"S3", "Shelf3"}, {"Z", "Roll"}, {"P", "Office"}};
  for (const auto& [selector, printer] : rows) {
    Harness harness(selector);
    harness.settings.SaveMany(kPrinterSection, {{"PdfFolder", ""},
                                                {"PrinterName", "Office"},
                                                {"PrinterNameS1", "Shelf1"},
                                                {"PrinterNameS2", "Shelf2"},
                                                {"PrinterNameS3", "Shelf3"},
                                                {"PrinterNameZ", "Roll"}});
    EXPECT_EQ(harness.Dispatch().exitCode, kExitPrinted) << selector;
    EXPECT_EQ(harness.printer, printer) << selector;
  }
}

// A failure abandons the document in progress (one already ended stays); with "Display"
// True and several shelf copies, the later copies still run and the first failure is the
// run's outcome after the last.
TEST(Dispatch, FailureAbandonsTheDocumentInProgressLaterCopiesStillRun) {
  const struct {
    const char* selector;
    int copies;
    std::string reason;
  } cases[] = {{"Z", 1, "printer went away"}, {"S2", 3, "copy 1 of 3: printer went away"}};
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
    const RunOutcome outcome = harness.Dispatch();
    EXPECT_EQ(std::pair(outcome.exitCode, outcome.reason), std::pair(kExitFailed, c.reason));
    EXPECT_EQ(int(harness.calls.size()), c.copies);
    EXPECT_EQ(harness.surface->EndedDocuments(), c.copies);
    EXPECT_EQ(harness.surface->AbortedDocuments(), 1);
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
