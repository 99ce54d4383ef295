// The real print dialog in process, on the offscreen platform: accepted it prints the
// request, cancelled it ends the run with nothing printed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "platform/printing.h"
#include "platform/qt_dialogs.h"
#include "runner/dispatch.h"
#include "tests/runner/runner_fixture.h"
#include "tests/support/pdf_tools.h"

namespace corvel {
namespace {

struct DialogCase {
  const char* name;
  const char* selector;
  bool accept;
  int documents;
  int widthPoints, heightPoints;  // page of the first document
};

class RealPrintDialog : public ::testing::TestWithParam<DialogCase> {
 protected:
  void SetUp() override {
    // ctest answers dialogs unattended; this test wants the dialog shown.
    saved_ = qgetenv("CORVEL_PRINT_DIALOG");
    qunsetenv("CORVEL_PRINT_DIALOG");
    SetUpFonts();
  }
  void TearDown() override {
    if (!saved_.isNull()) qputenv("CORVEL_PRINT_DIALOG", saved_);
  }

  // Presses OK or Cancel on the modal dialog as soon as it is shown.
  static void AnswerWhenShown(bool accept, bool& answered) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, accept, &answered] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      answered = true;
      timer->stop();
      timer->deleteLater();
      accept ? dialog->accept() : dialog->reject();
    });
    timer->start();
  }

 private:
  QByteArray saved_;
};

TEST_P(RealPrintDialog, OkPrintsOnTheJobsPageCancelEnds) {
  const DialogCase& c = GetParam();
  test::DataFolder data;
  const QString pdf = test::MakeTempFolder();
  const auto rows = test::NumberedRows(2);
  test::WriteFile(data.Barprint(), test::BarprintBytes(rows));
  data.settings.Save(kRunnerSection, "Barcodetype", c.selector);
  data.settings.Save(kPrinterSection, "PdfFolder", pdf.toStdString());

  QtPrintDialog dialog;
  test::QuietMessages messages;
  RunnerServices services{data.settings, dialog, messages, &MakePrintSurface};
  bool answered = false;
  AnswerWhenShown(c.accept, answered);
  const RunOutcome outcome = RunSheetwise(services);
  EXPECT_TRUE(answered) << "the dialog was shown";
  EXPECT_EQ(outcome.exitCode, c.accept ? kExitPrinted : kExitCancelled) << outcome.reason;
  const QStringList pdfs = test::ListPdfFiles(pdf);
  ASSERT_EQ(pdfs.size(), c.documents);
  QStringList codes;
  for (const QString& file : pdfs)
    codes << test::DecodeBarcodes(test::RasterisePdf(file, 300));
  EXPECT_EQ(codes.size(), rows.size() * (c.accept ? 1 : 0)) << codes.join(' ').toStdString();
  if (!pdfs.isEmpty()) {
    // The job's page size survives the dialog.
    const QImage page = test::RasterisePdf(pdfs[0], 72);
    EXPECT_NEAR(page.width(), c.widthPoints, 1);
    EXPECT_NEAR(page.height(), c.heightPoints, 1);
  }
  EXPECT_EQ(test::ReadFile(data.Barprint()), test::BarprintBytes(rows));
}

INSTANTIATE_TEST_SUITE_P(Answers, RealPrintDialog,
                         ::testing::Values(DialogCase{"OkListPageOnA4", "P", true, 1, 595, 842},
                                           DialogCase{"OkRollLabels", "Z", true, 2, 170, 113},
                                           DialogCase{"Cancel", "P", false, 0, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvel
