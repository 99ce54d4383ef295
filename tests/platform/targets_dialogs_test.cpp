// Choosing a printer target from the settings, describing it, and the unattended
// answers of the dialogs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "common/settings_store.h"
#include "platform/printing.h"
#include "platform/qt_dialogs.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

// Sets an environment variable for one scope and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    if (value) {
      qputenv(name, value);
    } else {
      qunsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (had_) {
      qputenv(name_, old_);
    } else {
      qunsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

TEST(ChoosePrinterTarget, PdfFolderKeyAndPageSize) {
  struct Row {
    const char* name;
    const char* pageSize;  // nullptr: key absent
    double expectWidth, expectHeight;
  } rows[] = {
      {"Absent", nullptr, 80, 50},
      {"Plain", "60x40", 60, 40},
      {"UpperCaseAndBlanks", " 62.5 X 29 ", 62.5, 29},
      {"NotASize", "large", 80, 50},
      {"ZeroWidth", "0x40", 80, 50},
      {"Negative", "-60x40", 80, 50},
      {"ThreeParts", "60x40x2", 80, 50},
      {"Empty", "", 80, 50},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MemorySettingsStore settings;
    settings.Save("Zebra", "PdfFolder", "/tmp/labels");
    settings.Save("Printer", "PdfFolder", "/tmp/other");
    if (row.pageSize) settings.Save("Zebra", "PdfPageSize", row.pageSize);
    const PrinterTarget target = ChoosePrinterTarget(settings, "Zebra", "tarewise", 80, 50);
    EXPECT_EQ(target.kind, PrinterTarget::Kind::PdfFolder);
    EXPECT_EQ(target.pdfFolder, "/tmp/labels");
    EXPECT_EQ(target.program, "tarewise");
    EXPECT_EQ(target.pageWidthMm, row.expectWidth);
    EXPECT_EQ(target.pageHeightMm, row.expectHeight);
  }
}

TEST(ChoosePrinterTarget, NoPrinterFallsBackToTheDefaultPdfFolder) {
  if (HavePrinters()) GTEST_SKIP() << "this machine has printers; the fallback is not used";
  MemorySettingsStore settings;
  settings.Save("Printer", "PrinterName", "Zebra");  // names a queue that is not there
  const QString expected = QDir::homePath() + "/Corvel/PDF";
  QDir(expected).removeRecursively();
  const PrinterTarget target = ChoosePrinterTarget(settings, "Printer", "sheetwise");
  EXPECT_EQ(target.kind, PrinterTarget::Kind::PdfFolder);
  EXPECT_EQ(target.pdfFolder, expected.toStdString());
  EXPECT_EQ(DefaultPdfFolder(), expected.toStdString());
  EXPECT_TRUE(QFileInfo(expected).isDir());
  EXPECT_EQ(target.pageWidthMm, 0);  // A4
}

TEST(UnattendedPrintAnswer, Parse) {
  struct Row {
    const char* value;
    bool accept;
    int copies;
  } rows[] = {
      {"accept", true, 1},      {"accept:3", true, 3},
      {"accept:0", true, 1},    {"accept:99999999", true, 9999},
      {"accept:", false, 1},    {"accept:2x", false, 1},
      {"accept:-2", false, 1},  {"cancel", false, 1},
      {"Accept", false, 1},     {"", false, 1},
      {"acceptance", false, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value);
    const UnattendedPrintAnswer answer = ParseUnattendedPrintAnswer(row.value);
    EXPECT_EQ(answer.accept, row.accept);
    if (row.accept) {
      EXPECT_EQ(answer.copies, row.copies);
    }
  }
}

TEST(QtPrintDialog, UnattendedAnswerKeepsTheTarget) {
  struct Row {
    const char* env;
    bool accepted;
    int copies;  // after Run, starting from 1
  } rows[] = {{"accept", true, 1}, {"accept:4", true, 4}, {"cancel", false, 1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.env);
    ScopedEnv dialog("CORVEL_PRINT_DIALOG", row.env);
    PrinterTarget target;
    target.kind = PrinterTarget::Kind::CupsQueue;
    target.queue = "Zebra";
    int copies = 1;
    QtPrintDialog printDialog;
    EXPECT_EQ(printDialog.Run(target, copies), row.accepted);
    EXPECT_EQ(copies, row.copies);
    EXPECT_EQ(target.queue, "Zebra");
    EXPECT_EQ(target.copies, 1);
  }
}

TEST(QtMessageBoxes, UnattendedAnswers) {
  struct Row {
    const char* name;
    const char* answer;  // CORVEL_MESSAGE_ANSWER, nullptr: unset
    bool defaultYes;
    bool expected;
  } rows[] = {
      {"DefaultNo", nullptr, false, false}, {"DefaultYes", nullptr, true, true},
      {"ToldYes", "yes", false, true},      {"ToldNo", "no", true, false},
      {"ToldOther", "maybe", true, true},
  };
  ScopedEnv dialog("CORVEL_PRINT_DIALOG", "accept");
  QtMessageBoxes boxes;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScopedEnv answer("CORVEL_MESSAGE_ANSWER", row.answer);
    testing::internal::CaptureStderr();
    EXPECT_EQ(boxes.AskYesNo("Are You Sure", "Check Paper", row.defaultYes), row.expected);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Check Paper: Are You Sure\n");
  }
  testing::internal::CaptureStderr();
  boxes.Inform("EAN-8 codes will not fit");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "EAN-8 codes will not fit\n");
}

}  // namespace
}  // namespace corvel
