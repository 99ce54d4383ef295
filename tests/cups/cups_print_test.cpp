// Printing through a private CUPS scheduler with a 60 x 40 mm roll-label queue (also
// one reporting 203 dpi) and an A4/A5/A6 office queue with trays: each document is one
// job laid out on the media the queue reports (or the one its paper size code asks for),
// that media and the paper bin's tray are requested with the job, a paused queue is a
// failure, abandoned documents never print, and the station's window answers while the
// print server is frozen.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>

#include "common/clock.h"
#include "common/errors.h"
#include "common/settings_store.h"
#include "platform/cups_queue.h"
#include "platform/printing.h"
#include "platform/qt_print_surface.h"
#include "station/station_window.h"
#include "tests/station/station_test_support.h"
#include "tests/support/bar_widths.h"
#include "tests/support/cups_daemon.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using Slots = std::vector<std::string>;

TEST(InputSlotTest, PpdLookalikesAndUnsafeNamesAreNoChoices) {
  // Lookalikes, and a name that would not be safe in a job option (the choices of a
  // plain PPD: the tray test below).
  EXPECT_EQ(ParsePpdInputSlots("*InputSlots A/B: \"\"\n*%InputSlot X: \"\"\n *InputSlot Y: "
                               "\"\"\n*InputSlot a,b/x: \"\"\n"),
            Slots{});
}

TEST(InputSlotTest, ChoosesExplicitThenCommonNames) {
  const std::map<int, std::string> explicitSlots = {{268, "Tray9"}, {2, ""}};
  // Bin, slots the queue offers, slot chosen.
  const std::tuple<int, Slots, const char*> rows[] = {
      {268, {"Auto", "Tray1", "Tray2"}, ""},        // explicit but not offered
      {2, {"Lower", "Tray2"}, ""},                  // an empty explicit slot wins
      {1, {"Tray1", "top"}, "top"},                 // common names in preference order
      {14, {"Auto", "Tray1"}, "Tray1"},             // cassette falls back to tray 1
      {3, {"auto", "tray-1", "tray-3"}, "tray-3"},  // IPP names
  };
  for (const auto& [bin, offered, expected] : rows)
    EXPECT_EQ(ChooseInputSlot(bin, explicitSlots, offered), expected) << bin;
}

// A driver's default page size read from its PPD: a size of its own with its imageable
// area, or a custom size the print server cannot name.
TEST(QueueMediaTest, PpdDefaultPageSizes) {
  const std::string dymo =
      "*DefaultPageSize: w81h252\n*PageSize w81h252/1.125x3.5: \"\"\n"
      "*ImageableArea w81h252/1.125x3.5: \"4.08 12.05 76.92 240.12\"\n"
      "*PaperDimension w81h252/1.125x3.5: \"81 252\"\n";
  // Name, PPD text, size and margins (left, right, top, bottom) in mm; 0 x 0: none.
  const std::tuple<const char*, std::string, std::array<double, 6>> rows[] = {
      {"named size with its margins", dymo, {28.58, 88.9, 1.44, 1.44, 4.19, 4.25}},
      {"custom in mm",
       "*DefaultPageSize: Custom.60x40mm\n*HWMargins: 0 0 0 0\n",
       {60, 40, 0, 0, 0, 0}},
      {"custom in inches, margins",
       "*DefaultPageSize: Custom.3x2in\n*HWMargins: 9 18 9 18\n",
       {76.2, 50.8, 3.18, 3.18, 6.35, 6.35}},
      {"custom in points", "*DefaultPageSize: Custom.170x113\n", {59.97, 39.86, 0, 0, 0, 0}},
      {"named size without dimension", "*DefaultPageSize: w90h18\n", {0, 0, 0, 0, 0, 0}},
      {"lookalike keyword", "*DefaultPageSizes: Custom.60x40mm\n", {0, 0, 0, 0, 0, 0}},
  };
  for (const auto& [name, ppd, expected] : rows) {
    SCOPED_TRACE(name);
    const std::optional<QueueMedia> media = ParsePpdDefaultPageSize(ppd);
    ASSERT_EQ(media.has_value(), expected[0] > 0);
    if (!media) continue;
    const std::array<double, 6> got = {media->widthMm, media->heightMm, media->leftMm,
                                       media->rightMm, media->topMm,    media->bottomMm};
    for (std::size_t i = 0; i < got.size(); ++i)
      EXPECT_NEAR(got[i], expected[i], 0.01) << i;
  }
  EXPECT_TRUE(PpdTakesCustomSizes("*CustomPageSize True: \"pop pop\"\n"));
  EXPECT_FALSE(PpdTakesCustomSizes(dymo));
}

class CupsPrintTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!test::CupsDaemon::Installed()) return;
    daemon_ = std::make_unique<test::CupsDaemon>();
    if (!daemon_->StartWithQueues(
            {{"Roll", test::CupsDaemon::RollLabelPpd(), true},
             {"Office", test::CupsDaemon::OfficePpd()},
             {"Roll203", test::CupsDaemon::RollLabelPpd() + "*DefaultResolution: 203dpi\n"}},
            &startError_))
      return;
    daemon_->SetClientEnvironment();
    SetUpFonts();
  }
  static void TearDownTestSuite() { daemon_.reset(); }
  void SetUp() override {
    if (!test::CupsDaemon::Installed()) GTEST_SKIP() << "cupsd is not installed";
    ASSERT_TRUE(startError_.isEmpty()) << startError_.toStdString();
  }

  // 105 x 148 mm: the user-defined size.
  static PrinterTarget Queue(const char* name, int copies = 1) {
    PrinterTarget target;
    target.kind = PrinterTarget::Kind::CupsQueue;
    target.queue = name;
    target.program = "cupstest";
    target.copies = copies;
    target.pageWidthMm = 105;
    target.pageHeightMm = 148;
    return target;
  }

  static inline std::unique_ptr<test::CupsDaemon> daemon_;
  static inline QString startError_;
};

TEST_F(CupsPrintTest, DocumentsArePrintedOnTheQueuesMediaAndRequestIt) {
  // A resolution comes from the queue's PPD, when it names one.
  EXPECT_EQ(CupsQueue("Roll203").DefaultResolution(), 203);
  EXPECT_EQ(CupsQueue("Roll").DefaultResolution(), 0);
  // Name, queue, paper size code (0: the queue's own), orientation, copies, the page as
  // fed in points, the paper the job asks for.
  const std::tuple<const char*, const char*, int, int, int, QSizeF, const char*> rows[] = {
      {"RollLabel", "Roll", 0, 0, 1, {170.08, 113.39}, "LABEL60X40"},
      {"OfficeDefaultTwoCopies", "Office", 0, 0, 2, {595.28, 841.89}, "A4"},
      {"ShelfCardA5Landscape", "Office", kPaperA5, kLandscape, 1, {419.53, 595.28}, "A5"},
      {"UserDefinedSizeFindsA6", "Office", kPaperUser, kPortrait, 1, {297.64, 419.53}, "A6"},
  };
  for (const auto& [name, queue, paperSize, orientation, copies, fed, paper] : rows) {
    SCOPED_TRACE(name);
    const int before = daemon_->CompletedJobs(queue);
    QtPrintSurface surface(Queue(queue, copies));
    surface.SetPaperSize(paperSize);
    surface.SetOrientation(orientation);
    // The surface reports the page it prints on, as laid out.
    const QSizeF laidOut = orientation == kLandscape ? fed.transposed() : fed;
    EXPECT_NEAR(surface.PageWidth() / 20, laidOut.width(), 1);
    EXPECT_NEAR(surface.PageHeight() / 20, laidOut.height(), 1);
    surface.Print(name, true);
    surface.EndDoc();
    ASSERT_TRUE(daemon_->WaitForCompletedJobs(queue, before + 1));
    const QString out = daemon_->OutputFile(queue);
    const QSize page = test::RasterisePdf(out, 72).size();  // one dot per point
    EXPECT_NEAR(std::min(page.width(), page.height()), std::min(fed.width(), fed.height()), 1.5);
    EXPECT_NEAR(std::max(page.width(), page.height()), std::max(fed.width(), fed.height()), 1.5);
    EXPECT_EQ(daemon_->PjlSetting(queue, "PAPER"), paper);
    EXPECT_EQ(test::PdfPageCount(out), copies);
  }
}

TEST_F(CupsPrintTest, AbandonedAndEmptyDocumentsSendNothing) {
  const int before = daemon_->CompletedJobs("Roll");
  QtPrintSurface surface(Queue("Roll"));
  surface.EndDoc();  // nothing drawn
  surface.Print("abandoned", true);
  surface.AbortDoc();
  {
    QtPrintSurface destroyed(Queue("Roll"));
    destroyed.Print("never ended", true);
  }
  surface.Print("sent", true);
  surface.EndDoc();
  ASSERT_TRUE(daemon_->WaitForCompletedJobs("Roll", before + 1));
  EXPECT_EQ(daemon_->CompletedJobs("Roll"), before + 1);
  const auto words = test::PdfWords(daemon_->OutputFile("Roll"));
  EXPECT_TRUE(words.size() == 1 && words[0].text == "sent");
}

// A paused queue takes jobs and holds them: the label would never come out.
// A paused queue (an admin changing the roll) takes the label and holds it: the status
// says so, and the label prints once the queue is resumed.
TEST_F(CupsPrintTest, PausedQueueHoldsTheLabelUntilResumed) {
  ASSERT_EQ(daemon_->RunClient("cupsdisable", {"Office"}), 0);
  const int before = daemon_->CompletedJobs("Office");
  std::mutex mutex;
  QStringList said;
  const auto surface =
      MakeBackgroundPrintSurface(Queue("Office"), [&](const std::string& text, bool refused) {
        const std::lock_guard lock(mutex);
        said << QString::fromStdString(text) + (refused ? " (refused)" : "");
      });
  const auto saidAny = [&](const QString& start) {
    const std::lock_guard lock(mutex);
    return std::any_of(said.begin(), said.end(),
                       [&](const QString& t) { return t.startsWith(start); });
  };
  surface->Print("x", true);
  surface->EndDoc();
  ASSERT_TRUE(test::WaitUntil([&] { return saidAny("held: printer Office is paused"); },
                              static_cast<int>((3 * kPrintServerTimeout).count())))
      << said.join('\n').toStdString();
  EXPECT_EQ(daemon_->CompletedJobs("Office"), before);
  daemon_->RunClient("cupsenable", {"Office"});
  EXPECT_TRUE(daemon_->WaitForCompletedJobs("Office", before + 1));
  EXPECT_TRUE(test::WaitUntil([&] { return saidAny("printed"); },
                              static_cast<int>((3 * kPrintServerTimeout).count())))
      << said.join('\n').toStdString();
}

// Paper bins reach the queue as its tray option: the queue's PPD turns the chosen slot
// into "@PJL SET MEDIASOURCE=..." in front of the job.
TEST_F(CupsPrintTest, BinSelectsTheQueueTray) {
  // Only keys naming a bin number 1..32767 count; another section's keys do not.
  MemorySettingsStore settings;
  settings.SaveMany("Printer", {{"PrinterName", "Office"},
                                {"InputSlot267", " tray2 "},
                                {"InputSlot32767", "Top"},
                                {"InputSlot0267", "Tray9"},
                                {"InputSlot32768", "Tray9"},
                                {"InputSlotA", "Tray9"}});
  settings.Save("Zebra", "InputSlot1", "Tray9");
  const PrinterTarget target = ChoosePrinterTarget(settings, "Printer", "sheetwise");
  ASSERT_EQ(target.kind, PrinterTarget::Kind::CupsQueue);
  EXPECT_EQ(target.inputSlots, (std::map<int, std::string>{{267, "tray2"}, {32767, "Top"}}));

  // Bin, tray named in the job: explicit key in the queue's spelling, automatic.
  const std::pair<int, const char*> rows[] = {{267, "TRAY2"}, {7, "AUTO"}};
  int jobs = daemon_->CompletedJobs("Office");
  for (const auto& [bin, tray] : rows) {
    QtPrintSurface surface(target);
    surface.SetPaperBin(bin);
    surface.Print("tray", true);
    surface.EndDoc();
    EXPECT_EQ(surface.PaperBin(), bin);
    ASSERT_TRUE(daemon_->WaitForCompletedJobs("Office", ++jobs));
    EXPECT_EQ(daemon_->PjlSetting("Office", "MEDIASOURCE"), tray) << bin;
  }
}

// The station sends labels off its window thread: with the print server frozen the window
// still answers at once, and the refusal reaches the operator when the bounded wait ends.
// The station's label on a 203 dpi label queue: label-sized, every bar whole dots, and it
// scans. The queue's resolution comes from its PPD; no calibration is set.
TEST_F(CupsPrintTest, StationLabelOnA203DpiQueueIsLabelSizedWithExactBars) {
  const QString config = test::MakeTempFolder();
  QDir().mkpath(config + "/Corvel");
  QFile ini(config + "/Corvel/Corvel.ini");
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly) && ini.write("[Zebra]\nPrinterName=Roll203\n") > 0);
  ini.close();
  const int before = daemon_->CompletedJobs("Roll203");
  const test::RunResult run =
      test::RunProgram(test::BuiltProgram("corvel"),
                       {"label", "--code", "1234", "--price", "12.99", "--weight", "1.235 KG"}, {},
                       {daemon_->ClientEnvironment(), "XDG_CONFIG_HOME=" + config});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_TRUE(daemon_->WaitForCompletedJobs("Roll203", before + 1));
  const QImage page = test::RasterisePdf(daemon_->OutputFile("Roll203"), 203);
  EXPECT_NEAR(page.width(), 60 / 25.4 * 203, 2);
  EXPECT_NEAR(page.height(), 40 / 25.4 * 203, 2);
  const test::SpreadSummary bars = test::Summarise(test::MeasureSymbols(page, 203));
  EXPECT_EQ(std::pair(bars.symbols, bars.uneven), std::pair(1, 0));
  EXPECT_EQ(test::DecodeBarcodes(page).size(), 1);
}

TEST_F(CupsPrintTest, StationWindowAnswersWhileThePrintServerIsFrozen) {
  MemorySettingsStore settings;
  test::FakeMessages messages;
  FixedClock clock(MakeLocalTime(2026, 12, 6, 12));
  PrinterTarget target = Queue("Roll");
  target.program = "tarewise";
  target.pageWidthMm = 60;  // as the station chooses it
  target.pageHeightMm = 40;
  const QString products = test::MakeTempFolder() + "/pdlist";
  test::WriteAllBytes(products, test::ProductFileBytes(1));  // a product with a code
  StationServices services{settings, messages, clock, target, {}, products.toStdString()};
  services.makeBackgroundSurface = [target](PrintStatus status, PaperReport paper) {
    return MakeBackgroundPrintSurface(target, std::move(status), std::move(paper));
  };
  StationWindow window(std::move(services));
  window.Text4->setText("1.235");
  messages.messages.clear();
  // The printer's paper is asked as the window opens and shown once known.
  ASSERT_TRUE(test::WaitUntil([&] { return window.StatusLine->text().contains("(60 x 40 mm)"); },
                              static_cast<int>((2 * kPrintServerTimeout).count())))
      << window.StatusLine->text().toStdString();

  daemon_->Freeze();
  QElapsedTimer took;
  took.start();
  window.Command1->click();
  window.Command1->click();
  // Waiting for the server would take the bounded wait for each label.
  EXPECT_LT(took.elapsed(), kPrintServerTimeout.count())
      << "the window waited for the print server";
  EXPECT_TRUE(test::WaitUntil([&] { return window.StatusLine->text().contains("refused"); }))
      << window.StatusLine->text().toStdString();
  EXPECT_FALSE(messages.messages.empty()) << "the operator was not told";
  // Closing while labels wait: they get the bound, and the operator hears how many did
  // not reach the printer.
  window.Command1->click();
  messages.messages.clear();
  window.close();
  EXPECT_TRUE(std::any_of(messages.messages.begin(), messages.messages.end(),
                          [](const std::string& m) { return m.find("not printed") != m.npos; }))
      << "closing dropped the waiting labels without a word";
  daemon_->Thaw();
}

}  // namespace
}  // namespace corvel
