// The print surface and printer targets against a private CUPS scheduler: documents
// reach the queue as one job each, copies as a job option, abandoned documents never.
#include <gtest/gtest.h>

#include <QFile>

#include "common/errors.h"
#include "common/settings_store.h"
#include "platform/printing.h"
#include "platform/qt_print_surface.h"
#include "tests/support/cups_daemon.h"
#include "tests/support/pdf_tools.h"

namespace corvel {
namespace {

class CupsPrintTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!test::CupsDaemon::Installed()) return;
    daemon_ = new test::CupsDaemon;
    QString error;
    if (!daemon_->Start(&error) || !daemon_->AddPdfQueue("Labels", true, &error) ||
        !daemon_->AddPdfQueue("Sheets", false, &error)) {
      startError_ = error;
      return;
    }
    // Before anything in this process asks CUPS for printers.
    daemon_->SetClientEnvironment();
    SetUpFonts();
  }
  static void TearDownTestSuite() {
    delete daemon_;
    daemon_ = nullptr;
  }
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
    return target;
  }

  static test::CupsDaemon* daemon_;
  static QString startError_;
};

test::CupsDaemon* CupsPrintTest::daemon_ = nullptr;
QString CupsPrintTest::startError_;

TEST_F(CupsPrintTest, TargetsChooseTheNamedOrDefaultQueue) {
  EXPECT_TRUE(HavePrinters());
  struct Row {
    const char* name;
    const char* printerName;  // nullptr: key absent
    const char* pdfFolder;
    PrinterTarget::Kind kind;
    const char* queue;
  } rows[] = {
      {"DefaultQueue", nullptr, nullptr, PrinterTarget::Kind::CupsQueue, ""},
      {"NamedQueue", "Sheets", nullptr, PrinterTarget::Kind::CupsQueue, "Sheets"},
      {"PdfFolderWins", "Sheets", "/tmp/pdf", PrinterTarget::Kind::PdfFolder, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MemorySettingsStore settings;
    if (row.printerName) settings.Save("Printer", "PrinterName", row.printerName);
    if (row.pdfFolder) settings.Save("Printer", "PdfFolder", row.pdfFolder);
    const PrinterTarget target = ChoosePrinterTarget(settings, "Printer", "sheetwise");
    EXPECT_EQ(target.kind, row.kind);
    EXPECT_EQ(target.queue, row.queue);
  }
}

TEST_F(CupsPrintTest, DocumentsReachTheQueueWithTheirCopies) {
  struct Row {
    const char* name;
    const char* queue;  // "" is the default queue
    const char* output;
    int copies;
    int pages;
  } rows[] = {
      {"DefaultQueueOneCopy", "", "Labels", 1, 1},
      {"NamedQueueThreeCopies", "Sheets", "Sheets", 3, 1},
      {"TwoPagesTwoCopies", "Labels", "Labels", 2, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const int before = daemon_->CompletedJobs(row.output);
    QtPrintSurface surface(Queue(row.queue, row.copies));
    EXPECT_GT(surface.PageWidth(), 0);
    EXPECT_GT(surface.PageHeight(), 0);
    surface.SetFontName("Tahoma");
    surface.SetFontSize(14);
    surface.SetCurrentX(1440);
    surface.SetCurrentY(1440);
    surface.Print(row.name, true);
    surface.FillRect(1440, 2000, 4000, 2500, 0);
    for (int page = 2; page <= row.pages; ++page) {
      surface.NewPage();
      surface.Print("more", true);
    }
    surface.EndDoc();
    ASSERT_TRUE(daemon_->WaitForCompletedJobs(row.output, before + 1));
    EXPECT_EQ(daemon_->CompletedJobs(row.output), before + 1);
    const QString out = daemon_->OutputFile(row.output);
    EXPECT_EQ(test::PdfPageCount(out), row.copies * row.pages);
    bool found = false;
    for (const auto& word : test::PdfWords(out))
      found = found || word.text == row.name;
    EXPECT_TRUE(found);
  }
}

TEST_F(CupsPrintTest, AbandonedAndEmptyDocumentsSendNothing) {
  const int before = daemon_->CompletedJobs("Labels");
  QtPrintSurface surface(Queue("Labels"));
  surface.EndDoc();  // nothing drawn
  surface.Print("abandoned", true);
  surface.AbortDoc();
  {
    QtPrintSurface destroyed(Queue("Labels"));
    destroyed.Print("never ended", true);
  }
  surface.Print("sent", true);
  surface.EndDoc();
  ASSERT_TRUE(daemon_->WaitForCompletedJobs("Labels", before + 1));
  EXPECT_EQ(daemon_->CompletedJobs("Labels"), before + 1);
  const auto words = test::PdfWords(daemon_->OutputFile("Labels"));
  ASSERT_EQ(words.size(), 1u);
  EXPECT_EQ(words[0].text, "sent");
}

TEST_F(CupsPrintTest, UnknownQueueThrowsPrintError) {
  QtPrintSurface surface(Queue("NoSuchQueue"));
  EXPECT_THROW(surface.Print("x", true), PrintError);
  EXPECT_THROW(surface.FillRect(0, 0, 10, 10, 0), PrintError);
  EXPECT_NO_THROW(surface.EndDoc());
}

}  // namespace
}  // namespace corvel
