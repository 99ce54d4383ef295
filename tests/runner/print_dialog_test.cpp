// The real print dialog in process, on the offscreen platform: accepted it prints the
// request on the job's page, cancelled it ends the run with nothing printed.
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

TEST(RealPrintDialog, OkPrintsOnTheJobsPageCancelEnds) {
  // ctest answers dialogs unattended; this test wants the dialog shown.
  const QByteArray saved = qgetenv("CORVEL_PRINT_DIALOG");
  qunsetenv("CORVEL_PRINT_DIALOG");
  const auto restore = qScopeGuard([&] {
    if (!saved.isNull()) qputenv("CORVEL_PRINT_DIALOG", saved);
  });
  SetUpFonts();
  // OK on roll labels prints one 60 x 40 mm document per label; Cancel prints nothing.
  for (const auto& [selector, accept] : {std::pair{"Z", true}, {"P", false}}) {
    SCOPED_TRACE(selector);
    test::DataFolder data;
    const QString pdf = test::MakeTempFolder();
    const QByteArray request = test::BarprintBytes(test::NumberedRows(2));
    test::WriteFile(data.Barprint(), request);
    data.settings.Save(kRunnerSection, "Barcodetype", selector);
    data.settings.Save(kPrinterSection, "PdfFolder", pdf.toStdString());
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
    const QStringList pdfs = test::ListPdfFiles(pdf);
    ASSERT_EQ(pdfs.size(), accept ? 2 : 0);
    for (const QString& file : pdfs)  // the job's page size survives the dialog
      EXPECT_EQ(test::RasterisePdf(file, 72).size(), QSize(170, 113));
    EXPECT_EQ(test::ReadFile(data.Barprint()), request);
  }
}

}  // namespace
}  // namespace corvel
