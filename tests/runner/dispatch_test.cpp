// The dispatcher: which job runs for each "Barcodetype", with what run state, when the
// print dialog is shown, and how a run ends.
#include <gtest/gtest.h>

#include <optional>

#include "common/errors.h"
#include "runner/dispatch.h"
#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {
using test::QuietMessages;
using test::ScriptedDialog;

enum class Job { None, Shelf, Roll, Page10, Page20, Sheet };

struct Call {
  Job job;
  RunState state;
  int paperSize;
};

struct Harness {
  MemorySettingsStore settings;
  ScriptedDialog dialog;
  QuietMessages messages;
  std::shared_ptr<RecordingSurface> surface;
  std::optional<PrinterTarget> target;
  std::vector<Call> calls;
  std::function<void(RunContext&)> jobBody = [](RunContext&) {};

  Harness(bool accept, int copies) : dialog(accept, copies) {
    settings.Save(kPrinterSection, "PdfFolder", test::MakeTempFolder().toStdString());
  }

  RunOutcome Run() {
    const auto record = [this](Job job) {
      return [this, job](RunContext& run) {
        calls.push_back({job, run.state, surface->LastPaperSize()});
        jobBody(run);
      };
    };
    RunnerJobs jobs{record(Job::Roll),
                    [this, record](RunContext& run, int perPage) {
                      record(perPage == 20 ? Job::Page20 : Job::Page10)(run);
                    },
                    [this, record](RunContext& run, std::int16_t) { record(Job::Sheet)(run); },
                    record(Job::Shelf)};
    RunnerServices services{settings, dialog, messages,
                            [this](const PrinterTarget& chosen) {
                              target = chosen;
                              surface = std::make_shared<RecordingSurface>();
                              return surface;
                            },
                            jobs};
    return RunSheetwise(services);
  }
};

struct DispatchCase {
  const char* name;
  std::optional<std::string> barcodeType;  // nothing: key absent
  std::optional<std::string> display;      // nothing: key absent
  bool accept;
  int copies;
  // expected
  int exitCode;
  bool dialogShown;
  Job job;
  int calls;
  std::int16_t runCopies = 1;
  std::int16_t sheetType = 0;
  std::int16_t shelfLayoutNumber = 0;
  std::string shelfLayoutCode = "  ";
  std::int16_t shelfPaperSize = kPaperA5;
};

class Dispatch : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(Dispatch, SelectsJobAndRunState) {
  const DispatchCase& c = GetParam();
  Harness harness(c.accept, c.copies);
  if (c.barcodeType) harness.settings.Save(kRunnerSection, "Barcodetype", *c.barcodeType);
  if (c.display) harness.settings.Save(kPrinterSection, "Display", *c.display);

  const RunOutcome outcome = harness.Run();
  EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.reason;
  EXPECT_EQ(outcome.reason.empty(), c.exitCode == kExitPrinted) << outcome.reason;
  EXPECT_EQ(harness.dialog.shown, c.dialogShown ? 1 : 0);
  ASSERT_EQ(static_cast<int>(harness.calls.size()), c.calls);
  for (const Call& call : harness.calls) {
    EXPECT_EQ(call.job, c.job);
    EXPECT_EQ(call.state.Copies, c.runCopies);
    if (c.job == Job::Sheet) {
      EXPECT_EQ(call.state.SheetType, c.sheetType);
    }
    if (c.job == Job::Shelf) {
      EXPECT_EQ(call.state.ShelfLayoutNumber, c.shelfLayoutNumber);
      EXPECT_EQ(call.state.ShelfLayoutCode, c.shelfLayoutCode);
      EXPECT_EQ(call.state.ShelfPaperSize, c.shelfPaperSize);
      EXPECT_EQ(call.paperSize, c.shelfPaperSize) << "paper size set on the printer";
    }
  }
  if (harness.target) {
    EXPECT_EQ(harness.target->copies, 1) << "jobs make the copies themselves";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Selectors, Dispatch,
    ::testing::Values(
        // Barcode requests: the dialog always comes first.
        DispatchCase{"AbsentAcceptedPrintsNothing",
                     std::nullopt,
                     {},
                     true,
                     1,
                     kExitFailed,
                     true,
                     Job::None,
                     0},
        DispatchCase{
            "AbsentCancelled", std::nullopt, {}, false, 1, kExitCancelled, true, Job::None, 0},
        DispatchCase{"RollWithThreeCopies", "Z", {}, true, 3, kExitPrinted, true, Job::Roll, 1, 3},
        DispatchCase{"TenPerPage", "P", {}, true, 2, kExitPrinted, true, Job::Page10, 1, 2},
        DispatchCase{"TwentyPerPage", "P20", {}, true, 1, kExitPrinted, true, Job::Page20, 1},
        DispatchCase{"LowerCaseZIsNoJob", "z", {}, true, 1, kExitFailed, true, Job::None, 0},
        DispatchCase{"P20WithBlankIsNoJob", "P20 ", {}, true, 1, kExitFailed, true, Job::None, 0},
        DispatchCase{"Sheet44", "44", {}, true, 1, kExitPrinted, true, Job::Sheet, 1, 1, 44},
        DispatchCase{
            "Sheet44WithBlanks", "  44 ", {}, true, 1, kExitPrinted, true, Job::Sheet, 1, 1, 44},
        DispatchCase{
            "SheetHalfToEvenDown", "44.5", {}, true, 1, kExitPrinted, true, Job::Sheet, 1, 1, 44},
        DispatchCase{
            "SheetHalfToEvenUp", "65.5", {}, true, 1, kExitPrinted, true, Job::Sheet, 1, 1, 66},
        DispatchCase{"SheetWithoutLayoutStillDispatched",
                     "50",
                     {},
                     true,
                     1,
                     kExitPrinted,
                     true,
                     Job::Sheet,
                     1,
                     1,
                     50},
        DispatchCase{"BlankIsNoJob", " ", {}, true, 1, kExitFailed, true, Job::None, 0},
        DispatchCase{"LowerCaseShelfIsNoJob", "s1", {}, true, 1, kExitFailed, true, Job::None, 0},
        DispatchCase{"ShelfFurtherOnIsNoJob", "1S", {}, true, 1, kExitFailed, true, Job::None, 0},
        DispatchCase{
            "BlankInsideNumberIsNoJob", "4 4", {}, true, 1, kExitFailed, true, Job::None, 0},
        DispatchCase{
            "SheetTypeBeyond16Bits", "40000", {}, true, 1, kExitFailed, true, Job::None, 0},
        // Shelf requests: no dialog unless "Display" is True; copies run the job again.
        DispatchCase{"ShelfS3",
                     "S3",
                     {},
                     true,
                     5,
                     kExitPrinted,
                     false,
                     Job::Shelf,
                     1,
                     1,
                     0,
                     3,
                     "S3",
                     kPaperUser},
        DispatchCase{"ShelfS3DisplayTwoCopies", "S3", "True", true, 2, kExitPrinted, true,
                     Job::Shelf, 2, 2, 0, 3, "S3", kPaperUser},
        DispatchCase{"ShelfDisplayCancelled", "S2", "True", false, 2, kExitCancelled, true,
                     Job::None, 0},
        DispatchCase{"ShelfDisplayFalse", "S1", "False", true, 4, kExitPrinted, false, Job::Shelf,
                     1, 1, 0, 1, "S1", kPaperA5},
        DispatchCase{"ShelfDisplayLowerCaseTrue", "S2", "true", true, 2, kExitPrinted, true,
                     Job::Shelf, 2, 2, 0, 2, "S2", kPaperA5},
        DispatchCase{"ShelfDisplayUnreadable", "S2", "maybe", true, 2, kExitFailed, false,
                     Job::None, 0},
        DispatchCase{"ShelfBareS",
                     "S",
                     {},
                     true,
                     1,
                     kExitPrinted,
                     false,
                     Job::Shelf,
                     1,
                     1,
                     0,
                     0,
                     "S ",
                     kPaperA5},
        DispatchCase{"ShelfLongerNumberCutToFirstDigit",
                     "S12",
                     {},
                     true,
                     1,
                     kExitPrinted,
                     false,
                     Job::Shelf,
                     1,
                     1,
                     0,
                     1,
                     "S1",
                     kPaperA5},
        DispatchCase{"ShelfS3WithMoreIsNotUserSize",
                     "S3x",
                     {},
                     true,
                     1,
                     kExitPrinted,
                     false,
                     Job::Shelf,
                     1,
                     1,
                     0,
                     3,
                     "S3",
                     kPaperA5},
        DispatchCase{"ShelfLetterAfterS",
                     "SA",
                     {},
                     true,
                     1,
                     kExitPrinted,
                     false,
                     Job::Shelf,
                     1,
                     1,
                     0,
                     0,
                     "SA",
                     kPaperA5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DispatchFailure, DocumentInProgressIsAbandonedEndedOneStays) {
  Harness harness(true, 1);
  harness.settings.Save(kRunnerSection, "Barcodetype", "Z");
  harness.jobBody = [](RunContext& run) {
    run.surface.Print("first label", true);
    run.surface.EndDoc();
    run.surface.Print("second label, half drawn", true);
    throw PrintError("printer went away");
  };
  const RunOutcome outcome = harness.Run();
  EXPECT_EQ(outcome.exitCode, kExitFailed);
  EXPECT_EQ(outcome.reason, "printer went away");
  EXPECT_EQ(harness.surface->EndedDocuments(), 1);
  EXPECT_EQ(harness.surface->AbortedDocuments(), 1);
}

TEST(DispatchFailure, NothingToPrintEndsWithItsOwnCode) {
  Harness harness(true, 1);
  harness.settings.Save(kRunnerSection, "Barcodetype", "P");
  harness.jobBody = [](RunContext& run) { PageJob(run, 10); };  // "Path" is absent
  const RunOutcome outcome = harness.Run();
  EXPECT_EQ(outcome.exitCode, kExitNothingToPrint);
  EXPECT_NE(outcome.reason.find("Path"), std::string::npos);
  EXPECT_TRUE(harness.surface->Ops().empty());
}

struct PageSizeCase {
  const char* name;
  std::string selector;
  std::vector<std::pair<std::string, std::string>> printerKeys;
  double widthMm, heightMm;
  int exitCode = kExitPrinted;
};

class JobPageSize : public ::testing::TestWithParam<PageSizeCase> {};

TEST_P(JobPageSize, OfferedToTheDialogAndThePrinter) {
  const PageSizeCase& c = GetParam();
  Harness harness(true, 1);
  harness.settings.Save(kRunnerSection, "Barcodetype", c.selector);
  harness.settings.Save(kPrinterSection, "Display", "True");
  for (const auto& [key, value] : c.printerKeys)
    harness.settings.Save(kPrinterSection, key, value);
  const RunOutcome outcome = harness.Run();
  EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.reason;
  if (c.exitCode != kExitPrinted) {
    EXPECT_EQ(harness.dialog.shown, 0);
    return;
  }
  EXPECT_DOUBLE_EQ(harness.dialog.seen.pageWidthMm, c.widthMm);
  EXPECT_DOUBLE_EQ(harness.dialog.seen.pageHeightMm, c.heightMm);
  ASSERT_TRUE(harness.target.has_value());
  EXPECT_DOUBLE_EQ(harness.target->pageWidthMm, c.widthMm);
}

INSTANTIATE_TEST_SUITE_P(
    Defaults, JobPageSize,
    ::testing::Values(PageSizeCase{"RollLabelStock", "Z", {}, 60, 40},
                      PageSizeCase{"ListPagesA4", "P", {}, 210, 297},
                      PageSizeCase{"TwentyA4", "P20", {}, 210, 297},
                      PageSizeCase{"SheetsA4", "44", {}, 210, 297},
                      PageSizeCase{"ShelfUserSize", "S3", {}, 105, 148},
                      PageSizeCase{"JobKey", "Z", {{"PdfPageSizeZ", "100 x 50"}}, 100, 50},
                      PageSizeCase{"GeneralKey", "Z", {{"PdfPageSize", "80x30"}}, 80, 30},
                      PageSizeCase{"JobKeyBeatsGeneral",
                                   "P",
                                   {{"PdfPageSize", "80x30"}, {"PdfPageSizeP", "216x279.4"}},
                                   216,
                                   279.4},
                      PageSizeCase{
                          "UnreadableJobKey", "Z", {{"PdfPageSizeZ", "big"}}, 0, 0, kExitFailed}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvel
