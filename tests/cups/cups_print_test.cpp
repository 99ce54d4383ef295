// The print surface and printer targets against a private CUPS scheduler with a 60 x 40
// mm roll-label queue and an A4/A5/A6 office queue: each document is one job laid out on
// the media the queue reports (or the one its paper size code asks for), that media is
// requested with the job, failures name the queue, and abandoned documents never print;
// a queue that reports its resolution gets exact bars without calibration.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <memory>
#include <tuple>

#include "common/errors.h"
#include "common/settings_store.h"
#include "platform/cups_queue.h"
#include "platform/printing.h"
#include "platform/qt_print_surface.h"
#include "tests/support/bar_widths.h"
#include "tests/support/cups_daemon.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

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

  static PrinterTarget Queue(const char* name, int copies = 1) {
    PrinterTarget target;
    target.kind = PrinterTarget::Kind::CupsQueue;
    target.queue = name;
    target.program = "cupstest";
    target.copies = copies;
    target.pageWidthMm = 105;  // the user-defined size
    target.pageHeightMm = 148;
    return target;
  }

  static inline std::unique_ptr<test::CupsDaemon> daemon_;
  static inline QString startError_;
};

TEST_F(CupsPrintTest, DocumentsArePrintedOnTheQueuesMediaAndRequestIt) {
  // Name, queue, paper size code (0: the queue's own), orientation, copies, the page as
  // fed in points, the paper the job asks for.
  const std::tuple<const char*, const char*, int, int, int, QSizeF, const char*> rows[] = {
      {"RollLabel", "Roll", 0, 0, 1, {170.08, 113.39}, "LABEL60X40"},
      {"OfficeDefaultThreeCopies", "Office", 0, 0, 3, {595.28, 841.89}, "A4"},
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
    surface.FillRect(100, 700, 1000, 800, 0);
    surface.EndDoc();
    ASSERT_TRUE(daemon_->WaitForCompletedJobs(queue, before + 1));
    const QString out = daemon_->OutputFile(queue);
    const QSize page = test::RasterisePdf(out, 72).size();  // one dot per point
    EXPECT_NEAR(std::min(page.width(), page.height()), std::min(fed.width(), fed.height()), 1.5);
    EXPECT_NEAR(std::max(page.width(), page.height()), std::max(fed.width(), fed.height()), 1.5);
    EXPECT_EQ(daemon_->PjlSetting(queue, "PAPER"), paper);
    EXPECT_EQ(test::PdfPageCount(out), copies);
    const auto words = test::PdfWords(out);
    EXPECT_TRUE(
        std::any_of(words.begin(), words.end(), [&](const auto& w) { return w.text == name; }));
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
  ASSERT_EQ(words.size(), 1u);
  EXPECT_EQ(words[0].text, "sent");
}

TEST_F(CupsPrintTest, QueuesThatCannotPrintAreNamed) {
  // The queue, the client commands that stop it and start it again, what the failure says.
  const std::tuple<const char*, const char*, const char*, const char*> rows[] = {
      {"NoSuchQueue", nullptr, nullptr, "has no printer NoSuchQueue"},
      {"Office", "cupsdisable", "cupsenable", "Office is paused"},
  };
  for (const auto& [queue, stop, start, says] : rows) {
    if (stop) {
      ASSERT_EQ(daemon_->RunClient(stop, {queue}), 0);
    }
    QtPrintSurface surface(Queue(queue));
    try {
      surface.Print("x", true);
      surface.EndDoc();
      ADD_FAILURE() << "printed on " << queue;
    } catch (const PrintError& error) {
      EXPECT_NE(std::string(error.what()).find(says), std::string::npos) << error.what();
    }
    if (start) daemon_->RunClient(start, {queue});
  }
}

// A queue that reports its resolution needs no calibration: the station's label sent to a
// 203 dpi roll printer comes out with every bar a whole number of dots, and the doctor
// says which resolution each target prints at.
TEST_F(CupsPrintTest, LabelOnA203DpiQueueHasExactBars) {
  EXPECT_EQ(CupsQueue("Roll203").DefaultResolution(), 203);
  EXPECT_EQ(CupsQueue("Roll").DefaultResolution(), 0);
  const QString config = test::MakeTempFolder();
  QDir().mkpath(config + "/Corvel");
  // No serial device: the doctor would ask this machine's own port.
  QFile ini(config + "/Corvel/Corvel.ini");
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write("[Zebra]\nPrinterName=Roll203\nCOM1=" + config.toUtf8() +
            "/no-tty\n[Printer]\nPrinterName=Roll\n[Calibration Gone]\nDpi=300\n");
  ini.close();
  const QStringList env = {daemon_->ClientEnvironment(), "XDG_CONFIG_HOME=" + config};
  const int before = daemon_->CompletedJobs("Roll203");
  const test::RunResult run = test::RunProgram(
      test::BuiltProgram("corvel"),
      {"label", "--code", "1234", "--price", "12.99", "--weight", "1.235 KG"}, {}, env);
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_TRUE(daemon_->WaitForCompletedJobs("Roll203", before + 1));
  const test::SpreadSummary bars = test::Summarise(
      test::MeasureSymbols(test::RasterisePdf(daemon_->OutputFile("Roll203"), 203), 203));
  EXPECT_EQ(std::pair(bars.symbols, bars.uneven), std::pair(1, 0));

  const test::RunResult doctor =
      test::RunProgram(test::BuiltProgram("corvel"),
                       {"doctor", "--station-folder", test::MakeTempFolder()}, {}, env);
  const QString out = QString::fromUtf8(doctor.out);
  EXPECT_TRUE(out.contains("printer Roll203 (60 x 40 mm, 203 dpi reported by the queue)") &&
              out.contains("printer Roll (60 x 40 mm): it reports no resolution") &&
              out.contains("[Calibration Gone]") && out.contains("has no printer Gone"))
      << out.toStdString();
}

}  // namespace
}  // namespace corvel
