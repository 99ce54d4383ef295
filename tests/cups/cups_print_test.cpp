// The print surface and printer targets against a private CUPS scheduler with a 60 x 40
// mm roll-label queue and an A4/A5/A6 office queue: each document is one job laid out on
// the media the queue reports (or the one its paper size code asks for), that media is
// requested with the job, failures name the queue, and abandoned documents never print.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#include "common/errors.h"
#include "common/settings_store.h"
#include "platform/printing.h"
#include "platform/qt_print_surface.h"
#include "tests/support/cups_daemon.h"
#include "tests/support/pdf_tools.h"

namespace corvel {
namespace {

// Width and height of page 1 in points (pdfinfo).
QSizeF PageSizePt(const QString& pdf) {
  QProcess info;
  info.start("pdfinfo", {pdf});
  info.waitForFinished(10000);
  const auto match = QRegularExpression(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)")
                         .match(QString::fromUtf8(info.readAllStandardOutput()));
  return match.hasMatch() ? QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble())
                          : QSizeF();
}

// The value of "@PJL SET NAME=..." in the header of a queue's output.
QString PjlValue(const QString& file, const QString& name) {
  QFile output(file);
  if (!output.open(QIODevice::ReadOnly)) return "no output";
  const auto match = QRegularExpression("@PJL SET " + name + "=(\\w+)")
                         .match(QString::fromLatin1(output.read(4096)));
  return match.hasMatch() ? match.captured(1) : "none";
}

class CupsPrintTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!test::CupsDaemon::Installed()) return;
    daemon_ = std::make_unique<test::CupsDaemon>();
    if (!daemon_->Start(&startError_) ||
        !daemon_->AddQueueWithPpd("Roll", test::CupsDaemon::RollLabelPpd(), true, &startError_) ||
        !daemon_->AddQueueWithPpd("Office", test::CupsDaemon::OfficePpd(), false, &startError_))
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

TEST_F(CupsPrintTest, TargetsChooseTheRoutedNamedOrDefaultQueue) {
  EXPECT_TRUE(HavePrinters());
  struct Row {
    const char* name;
    const char* printerName;  // nullptr: key absent
    const char* routed;       // PrinterNameZ
    const char* pdfFolder;
    PrinterTarget::Kind kind;
    const char* queue;
  } rows[] = {
      {"DefaultQueue", nullptr, nullptr, nullptr, PrinterTarget::Kind::CupsQueue, ""},
      {"Named", "Office", nullptr, nullptr, PrinterTarget::Kind::CupsQueue, "Office"},
      {"RoutedBeforeNamed", "Office", "Roll", nullptr, PrinterTarget::Kind::CupsQueue, "Roll"},
      {"NamedButMissingStaysNamed", "Gone", nullptr, nullptr, PrinterTarget::Kind::CupsQueue,
       "Gone"},
      {"PdfFolderWins", "Office", "Roll", "/tmp/pdf", PrinterTarget::Kind::PdfFolder, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MemorySettingsStore settings;
    if (row.printerName) settings.Save("Printer", "PrinterName", row.printerName);
    if (row.routed) settings.Save("Printer", "PrinterNameZ", row.routed);
    if (row.pdfFolder) settings.Save("Printer", "PdfFolder", row.pdfFolder);
    const PrinterTarget target =
        ChoosePrinterTarget(settings, "Printer", "sheetwise", 60, 40, "PrinterNameZ");
    EXPECT_EQ(target.kind, row.kind);
    EXPECT_EQ(target.queue, row.queue);
    EXPECT_FALSE(target.fallback);
  }
}

TEST_F(CupsPrintTest, DocumentsArePrintedOnTheQueuesMediaAndRequestIt) {
  struct Row {
    const char* name;
    const char* queue;
    int paperSize;  // 0: the queue's own
    int orientation;
    int copies;
    QSizeF pagePt;  // as fed
    const char* paper;
  } rows[] = {
      {"RollLabel", "Roll", 0, 0, 1, {170.08, 113.39}, "LABEL60X40"},
      {"OfficeDefaultThreeCopies", "Office", 0, 0, 3, {595.28, 841.89}, "A4"},
      {"ShelfCardA5Landscape", "Office", kPaperA5, kLandscape, 1, {419.53, 595.28}, "A5"},
      {"ShelfCardA5Portrait", "Office", kPaperA5, kPortrait, 1, {419.53, 595.28}, "A5"},
      {"UserDefinedSizeFindsA6", "Office", kPaperUser, kPortrait, 1, {297.64, 419.53}, "A6"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const int before = daemon_->CompletedJobs(row.queue);
    QtPrintSurface surface(Queue(row.queue, row.copies));
    surface.SetPaperSize(row.paperSize);
    surface.SetOrientation(row.orientation);
    // The surface reports the page it prints on, as laid out.
    const bool across = row.orientation == kLandscape;
    EXPECT_NEAR(surface.PageWidth() / 20, across ? row.pagePt.height() : row.pagePt.width(), 1);
    EXPECT_NEAR(surface.PageHeight() / 20, across ? row.pagePt.width() : row.pagePt.height(), 1);
    surface.Print(row.name, true);
    surface.FillRect(100, 700, 1000, 800, 0);
    surface.EndDoc();
    ASSERT_TRUE(daemon_->WaitForCompletedJobs(row.queue, before + 1));
    const QString out = daemon_->OutputFile(row.queue);
    const QSizeF page = PageSizePt(out);
    const double shorter = std::min(row.pagePt.width(), row.pagePt.height());
    const double longer = std::max(row.pagePt.width(), row.pagePt.height());
    EXPECT_NEAR(std::min(page.width(), page.height()), shorter, 1);
    EXPECT_NEAR(std::max(page.width(), page.height()), longer, 1);
    EXPECT_EQ(PjlValue(out, "PAPER"), row.paper);
    EXPECT_EQ(test::PdfPageCount(out), row.copies);
    const auto words = test::PdfWords(out);
    EXPECT_TRUE(
        std::any_of(words.begin(), words.end(), [&](const auto& w) { return w.text == row.name; }));
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
  struct Row {
    const char* name;
    const char* queue;
    QStringList setUp;  // lpadmin-style client command and its undo
    QStringList undo;
    const char* says;
  } rows[] = {
      {"NoSuchQueue", "NoSuchQueue", {}, {}, "has no printer NoSuchQueue"},
      {"Paused", "Office", {"cupsdisable", "Office"}, {"cupsenable", "Office"}, "Office is paused"},
      {"Rejecting",
       "Office",
       {"cupsreject", "Office"},
       {"cupsaccept", "Office"},
       "Office is not accepting jobs"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (!row.setUp.isEmpty()) {
      ASSERT_EQ(daemon_->RunClient(row.setUp[0], row.setUp.mid(1)), 0);
    }
    QtPrintSurface surface(Queue(row.queue));
    try {
      surface.Print("x", true);
      surface.EndDoc();
      ADD_FAILURE() << "printed";
    } catch (const PrintError& error) {
      EXPECT_NE(std::string(error.what()).find(row.says), std::string::npos) << error.what();
    }
    if (!row.undo.isEmpty()) daemon_->RunClient(row.undo[0], row.undo.mid(1));
  }
}

TEST_F(CupsPrintTest, BackgroundSurfaceReturnsAtOnceAndTellsTheFate) {
  std::mutex mutex;
  std::vector<std::pair<std::string, bool>> told;
  const auto status = [&](const std::string& text, bool refused) {
    const std::lock_guard lock(mutex);
    told.emplace_back(text, refused);
  };
  const auto lastTold = [&] {
    const std::lock_guard lock(mutex);
    return told.empty() ? std::pair<std::string, bool>() : told.back();
  };
  const auto waitFor = [&](const char* word) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 20000 && lastTold().first.find(word) == std::string::npos)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return lastTold();
  };
  {
    const auto surface = MakeBackgroundPrintSurface(Queue("Roll"), status);
    surface->Print("background", true);
    surface->EndDoc();
    EXPECT_NE(waitFor("printed").first.find("printed on printer Roll"), std::string::npos)
        << lastTold().first;
  }
  ASSERT_EQ(daemon_->RunClient("cupsreject", {"Office"}), 0);
  {
    const auto surface = MakeBackgroundPrintSurface(Queue("Office"), status);
    surface->Print("refused", true);
    surface->EndDoc();
    const auto [text, refused] = waitFor("refused");
    EXPECT_TRUE(refused) << text;
    EXPECT_NE(text.find("Office is not accepting jobs"), std::string::npos) << text;
  }
  daemon_->RunClient("cupsaccept", {"Office"});
}

}  // namespace
}  // namespace corvel
