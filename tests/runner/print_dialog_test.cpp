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

class RealPrintDialog : public ::testing::TestWithParam<bool> {
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

TEST_P(RealPrintDialog, OkPrintsCancelEnds) {
  const bool accept = GetParam();
  test::DataFolder data;
  const QString pdf = test::MakeTempFolder();
  const auto rows = test::NumberedRows(2);
  test::WriteFile(data.Barprint(), test::BarprintBytes(rows));
  data.settings.Save(kRunnerSection, "Barcodetype", "P");
  data.settings.Save(kPrinterSection, "PdfFolder", pdf.toStdString());

  QtPrintDialog dialog;
  test::QuietMessages messages;
  RunnerServices services{data.settings, dialog, messages, &MakePrintSurface};
  bool answered = false;
  AnswerWhenShown(accept, answered);
  const RunOutcome outcome = RunSheetwise(services);
  EXPECT_TRUE(answered) << "the dialog was shown";
  const QStringList pdfs = test::ListPdfFiles(pdf);
  if (accept) {
    EXPECT_EQ(outcome.exitCode, kExitPrinted) << outcome.reason;
    ASSERT_EQ(pdfs.size(), 1);
    const QStringList codes = test::DecodeBarcodes(test::RasterisePdf(pdfs[0], 300));
    EXPECT_EQ(codes.size(), 2) << codes.join(' ').toStdString();
  } else {
    EXPECT_EQ(outcome.exitCode, kExitCancelled);
    EXPECT_TRUE(pdfs.isEmpty());
  }
  EXPECT_EQ(test::ReadFile(data.Barprint()), test::BarprintBytes(rows));
}

INSTANTIATE_TEST_SUITE_P(Answers, RealPrintDialog, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Ok" : "Cancel"; });

}  // namespace
}  // namespace corvel
