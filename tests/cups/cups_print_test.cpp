// The print surface and printer targets against a private CUPS scheduler: documents
// reach the queue as one job each, copies as a job option, abandoned documents never.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>

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
    daemon_ = std::make_unique<test::CupsDaemon>();
    if (!daemon_->Start(&startError_) || !daemon_->AddPdfQueue("Labels", true, &startError_) ||
        !daemon_->AddPdfQueue("Sheets", false, &startError_))
      return;
    // Before anything in this process asks CUPS for printers.
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
    return target;
  }

  static inline std::unique_ptr<test::CupsDaemon> daemon_;
  static inline QString startError_;
};

TEST_F(CupsPrintTest, TargetsChooseTheNamedOrDefaultQueue) {
  EXPECT_TRUE(HavePrinters());
  // PrinterName and PdfFolder (nullptr: key absent), the target chosen and its queue.
  using Kind = PrinterTarget::Kind;
  const std::tuple<const char*, const char*, Kind, const char*> rows[] = {
      {nullptr, nullptr, Kind::CupsQueue, ""},
      {"Sheets", nullptr, Kind::CupsQueue, "Sheets"},
      {"Sheets", "/tmp/pdf", Kind::PdfFolder, ""},
  };
  for (const auto& [printerName, pdfFolder, kind, queue] : rows) {
    MemorySettingsStore settings;
    if (printerName) settings.Save("Printer", "PrinterName", printerName);
    if (pdfFolder) settings.Save("Printer", "PdfFolder", pdfFolder);
    const PrinterTarget target = ChoosePrinterTarget(settings, "Printer", "sheetwise");
    EXPECT_EQ(target.kind, kind) << (pdfFolder ? "PdfFolder" : "no PdfFolder");
    EXPECT_EQ(target.queue, queue) << (printerName ? printerName : "no PrinterName");
  }
}

TEST_F(CupsPrintTest, DocumentsReachTheQueueWithTheirCopies) {
  // Word printed, queue ("" is the default queue), where its jobs go, copies, pages.
  const std::tuple<const char*, const char*, const char*, int, int> rows[] = {
      {"DefaultQueueOneCopy", "", "Labels", 1, 1},
      {"NamedQueueThreeCopies", "Sheets", "Sheets", 3, 1},
      {"TwoPagesTwoCopies", "Labels", "Labels", 2, 2},
  };
  for (const auto& [name, queue, output, copies, pages] : rows) {
    SCOPED_TRACE(name);
    const int before = daemon_->CompletedJobs(output);
    QtPrintSurface surface(Queue(queue, copies));
    EXPECT_GT(surface.PageWidth(), 0);
    EXPECT_GT(surface.PageHeight(), 0);
    surface.Print(name, true);
    surface.FillRect(1440, 2000, 4000, 2500, 0);
    for (int page = 2; page <= pages; ++page) {
      surface.NewPage();
      surface.Print("more", true);
    }
    surface.EndDoc();
    ASSERT_TRUE(daemon_->WaitForCompletedJobs(output, before + 1));
    EXPECT_EQ(daemon_->CompletedJobs(output), before + 1);
    const QString out = daemon_->OutputFile(output);
    EXPECT_EQ(test::PdfPageCount(out), copies * pages);
    const auto words = test::PdfWords(out);
    EXPECT_TRUE(
        std::any_of(words.begin(), words.end(), [&](const auto& w) { return w.text == name; }));
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
