// The real programs: corvel request writes a request and starts sheetwise, which prints
// unattended into a PDF folder; every symbol must decode to its request code. And the
// real print dialog in process, on the offscreen platform: accepted it prints the request
// on the job's page, cancelled it ends the run with nothing printed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QScopeGuard>
#include <QTimer>

#include "platform/printing.h"
#include "platform/qt_dialogs.h"
#include "runner/dispatch.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

using test::Installation;

// Roll labels make a document per label and copy; list pages make one document whatever
// the copies, a full page is followed by the next request's page and by no blank one.
// Every symbol decodes, in printing order.
TEST(EndToEnd, EverySymbolDecodesInPrintingOrder) {
  const struct {
    const char* type;
    const char* dialog;
    int items, documents, pages, copiesPrinted;
  } cases[] = {{"Z", "accept:3", 2, 6, 6, 3}, {"P20", "accept:4", 40, 1, 2, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    Installation site;
    const auto rows = test::NumberedRows(c.items);
    QByteArray csv = "code,description,price\n";
    for (const auto& row : rows)
      csv += QByteArray::fromStdString(row.code + "," + row.description + "," + row.price + "\n");
    const test::RunResult run = site.Request(c.type, csv, c.dialog);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(test::ReadFile(site.data + "/Barprint"), test::BarprintBytes(rows)) << "unchanged";
    const QStringList pdfs = site.Pdfs();
    EXPECT_EQ(pdfs.size(), c.documents);
    QStringList decoded, expected;
    int pages = 0;
    for (const QString& pdf : pdfs)
      for (int page = 1; page <= test::PdfPageCount(pdf); ++page, ++pages)
        decoded << test::DecodedCodes(pdf, page);
    for (const auto& row : rows)
      for (int k = 0; k < c.copiesPrinted; ++k)
        expected << QString::fromStdString(row.code);
    EXPECT_EQ(pages, c.pages);
    EXPECT_EQ(decoded, expected);
  }
}

TEST(RealPrintDialog, OkPrintsOnTheJobsPageCancelEnds) {
  // ctest answers dialogs unattended; this test wants the dialog shown.
  const QByteArray saved = qgetenv("CORVEL_PRINT_DIALOG");
  qunsetenv("CORVEL_PRINT_DIALOG");
  const auto restore = qScopeGuard([&] { qputenv("CORVEL_PRINT_DIALOG", saved); });
  SetUpFonts();
  // OK on roll labels prints one 60 x 40 mm document per label; Cancel prints nothing.
  for (const auto& [selector, accept] : {std::pair{"Z", true}, {"P", false}}) {
    SCOPED_TRACE(selector);
    test::DataFolder data;
    const QByteArray request = test::BarprintBytes(test::NumberedRows(2));
    test::WriteFile(data.Barprint(), request);
    data.settings.Save(kRunnerSection, "Barcodetype", selector);
    data.settings.Save(kPrinterSection, "PdfFolder", data.folder.toStdString());
    QtPrintDialog dialog;
    RunnerServices services{data.settings, dialog, data.messages, &MakePrintSurface};
    bool answered = false;  // OK or Cancel pressed as soon as the dialog is shown
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&, accept] {
      auto* shown = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!shown || answered) return;
      answered = true;
      accept ? shown->accept() : shown->reject();
    });
    timer.start(20);
    const RunOutcome outcome = RunSheetwise(services);
    EXPECT_TRUE(answered) << "the dialog was shown";
    EXPECT_EQ(outcome.exitCode, accept ? kExitPrinted : kExitCancelled) << outcome.reason;
    const QStringList pdfs = test::ListPdfFiles(data.folder);
    ASSERT_EQ(pdfs.size(), accept ? 2 : 0);
    for (const QString& file : pdfs)  // the job's page size survives the dialog
      EXPECT_EQ(test::RasterisePdf(file, 72).size(), QSize(170, 113));
    EXPECT_EQ(test::ReadFile(data.Barprint()), request);
  }
}

}  // namespace
}  // namespace corvel
