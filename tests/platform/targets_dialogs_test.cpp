// Choosing a printer target from the settings, and the unattended answers of the dialogs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <tuple>

#include "common/settings_sections.h"
#include "common/settings_store.h"
#include "platform/printing.h"
#include "platform/qt_dialogs.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

// The section's own PDF folder and page size; a page size that is none keeps the default.
TEST(ChoosePrinterTarget, PdfFolderKeyAndPageSize) {
  for (const auto& [pageSize, width, height] :
       {std::tuple{"62.5 X 29", 62.5, 29.0}, {"0x40", 80.0, 50.0}}) {
    MemorySettingsStore settings;
    settings.Save(kStationSection, "PdfFolder", "/tmp/labels");
    settings.Save(kPrinterSection, "PdfFolder", "/tmp/other");
    settings.Save(kStationSection, "PdfPageSize", pageSize);
    const PrinterTarget target = ChoosePrinterTarget(settings, kStationSection, "tarewise", 80, 50);
    EXPECT_EQ(std::tuple(target.kind, target.pdfFolder, target.pageWidthMm, target.pageHeightMm),
              std::tuple(PrinterTarget::Kind::PdfFolder, "/tmp/labels", width, height));
  }
}

TEST(ChoosePrinterTarget, NoPrintServerFallsBackOnlyWithoutAName) {
  if (HavePrinters()) GTEST_SKIP() << "this machine has printers; the fallback is not used";
  const QString expected = QDir::homePath() + "/Corvel/PDF";
  QDir(expected).removeRecursively();
  MemorySettingsStore settings;
  const PrinterTarget fallback = ChoosePrinterTarget(settings, "Printer", "sheetwise");
  EXPECT_EQ(fallback.kind, PrinterTarget::Kind::PdfFolder);
  EXPECT_TRUE(fallback.fallback);
  EXPECT_EQ(fallback.pdfFolder, expected.toStdString());
  EXPECT_TRUE(QFileInfo(expected).isDir());
  EXPECT_EQ(fallback.pageWidthMm, 0);  // A4
  // A named printer stays named: printing on it fails and says so.
  settings.Save("Printer", "PrinterName", "Zebra");
  const PrinterTarget named = ChoosePrinterTarget(settings, "Printer", "sheetwise");
  EXPECT_EQ(named.kind, PrinterTarget::Kind::CupsQueue);
  EXPECT_EQ(named.queue, "Zebra");
}

TEST(UnattendedPrintAnswer, Parse) {
  // Value, accepted, copies.
  // clang-format off
  const std::tuple<const char*, bool, int> rows[] = {
      {"accept:3", true, 3}, {"accept:0", true, 1}, {"accept:99999999", true, 9999},
      {"accept:", false, 1}, {"accept:-2", false, 1}, {"Accept", false, 1}, {"acceptance", false, 1}};
  // clang-format on
  for (const auto& [value, accept, copies] : rows) {
    const UnattendedPrintAnswer answer = ParseUnattendedPrintAnswer(value);
    EXPECT_EQ(std::pair(answer.accept, answer.copies), std::pair(accept, copies)) << value;
  }
}

TEST(QtMessageBoxes, UnattendedAnswers) {
  if (!DialogsUnattended()) qputenv("CORVEL_PRINT_DIALOG", "accept");  // as ctest runs it
  // CORVEL_MESSAGE_ANSWER (nullptr: unset), the default button, the answer.
  // clang-format off
  const std::tuple<const char*, bool, bool> rows[] = {
      {nullptr, false, false}, {nullptr, true, true}, {"yes", false, true}, {"no", true, false},
      {"maybe", true, true}};
  // clang-format on
  QtMessageBoxes boxes;
  for (const auto& [answer, defaultYes, expected] : rows) {
    SCOPED_TRACE(answer ? answer : "unset");
    answer ? qputenv("CORVEL_MESSAGE_ANSWER", answer) : qunsetenv("CORVEL_MESSAGE_ANSWER");
    testing::internal::CaptureStderr();
    EXPECT_EQ(boxes.AskYesNo("Are You Sure", "Check Paper", defaultYes), expected);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Check Paper: Are You Sure\n");
  }
  qunsetenv("CORVEL_MESSAGE_ANSWER");
  testing::internal::CaptureStderr();
  boxes.Inform("EAN-8 codes will not fit");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "EAN-8 codes will not fit\n");
}

}  // namespace
}  // namespace corvel
