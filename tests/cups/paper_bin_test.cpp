// Paper bins reach a CUPS queue as its tray option, found over the local socket: the
// queue's PPD turns the chosen slot into "@PJL SET MEDIASOURCE=..." in front of the job.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "common/ini_settings_store.h"
#include "common/settings_store.h"
#include "platform/printing.h"
#include "platform/qt_print_surface.h"
#include "tests/support/cups_daemon.h"

namespace corvel {
namespace {

using Slots = std::vector<std::string>;

TEST(InputSlotTest, ParsesThePpdChoices) {
  struct Row {
    const char* name;
    const char* ppd;
    Slots expected;
  } rows[] = {
      {"AmongOtherOptions",
       "*PageSize A4/A4: \"\"\n*DefaultInputSlot: Auto\n*InputSlot Auto/Automatic: \"\"\n"
       "*InputSlot Tray1: \"x\"\r\n*InputSlot Tray2/Tray 2: \"y\"\n",
       {"Auto", "Tray1", "Tray2"}},
      {"LookalikesAndUnsafeLeftOut",
       "*InputSlots A/B: \"\"\n*%InputSlot X: \"\"\n *InputSlot Y: \"\"\n*InputSlot a,b/x: \"\"\n",
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ParsePpdInputSlots(row.ppd), row.expected);
  }
}

TEST(InputSlotTest, ChoosesExplicitThenCommonNames) {
  const std::map<int, std::string> explicitSlots = {{267, "tray2"}, {268, "Tray9"}, {2, ""}};
  struct Row {
    const char* name;
    int bin;
    Slots offered;
    const char* expected;
  } rows[] = {
      {"ExplicitInQueueSpelling", 267, {"Auto", "Tray1", "TRAY2"}, "TRAY2"},
      {"ExplicitNotOfferedIsDefault", 268, {"Auto", "Tray1", "Tray2"}, ""},
      {"EmptyExplicitOverridesCommon", 2, {"Lower", "Tray2"}, ""},
      {"CommonNamesInPreferenceOrder", 1, {"Tray1", "top"}, "top"},
      {"CassetteFallsBackToTray1", 14, {"Auto", "Tray1"}, "Tray1"},
      {"AutomaticHasNoName", 7, {"Auto", "Tray1"}, ""},
      {"IppNamesMatchDriverNames", 3, {"auto", "tray-1", "tray-3"}, "tray-3"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ChooseInputSlot(row.bin, explicitSlots, row.offered), row.expected);
  }
}

TEST(InputSlotTest, TargetTakesTheSectionsInputSlotKeys) {
  MemorySettingsStore settings;
  for (const auto& [key, value] : std::vector<std::pair<const char*, const char*>>{
           {"InputSlot267", " Tray2 "},
           {"InputSlot7", ""},
           {"InputSlot32767", "Top"},
           {"InputSlot0267", "Tray9"},
           {"InputSlot32768", "Tray9"},
           {"InputSlotA", "Tray9"},
           {"InputSlot", "Tray9"},
       }) {
    settings.Save("Printer", key, value);
  }
  settings.Save("Zebra", "InputSlot1", "Tray9");
  const std::map<int, std::string> expected = {{7, ""}, {267, "Tray2"}, {32767, "Top"}};
  EXPECT_EQ(ChoosePrinterTarget(settings, "Printer", "sheetwise").inputSlots, expected);
}

// The tray named in the PJL header of the queue's last job.
std::string PrintedTray(const QString& file) {
  QFile output(file);
  if (!output.open(QIODevice::ReadOnly)) return "no output";
  const auto match = QRegularExpression("@PJL SET MEDIASOURCE=(\\w+)")
                         .match(QString::fromLatin1(output.read(4096)));
  return match.hasMatch() ? match.captured(1).toStdString() : "no tray";
}

TEST(PaperBinCupsTest, BinSelectsTheQueueTray) {
  if (!test::CupsDaemon::Installed()) GTEST_SKIP() << "cupsd is not installed";
  test::CupsDaemon daemon;
  QString error;
  ASSERT_TRUE(daemon.Start(&error)) << error.toStdString();
  ASSERT_TRUE(daemon.AddQueueWithPpd("Trays", test::CupsDaemon::OfficePpd(), false, &error))
      << error.toStdString();
  daemon.SetClientEnvironment();  // the scheduler's unix socket
  SetUpFonts();

  const QString serverRoot = QFileInfo(daemon.Socket()).path();
  const QString ini = serverRoot + "/tmp/Corvel.ini";
  {
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Printer]\r\nPrinterName=Trays\r\nInputSlot267=tray2\r\n");
  }
  const IniSettingsStore settings(ini.toStdString());
  const PrinterTarget target = ChoosePrinterTarget(settings, "Printer", "sheetwise");
  ASSERT_EQ(target.kind, PrinterTarget::Kind::CupsQueue);

  struct Row {
    const char* name;
    int bin;
    const char* tray;
  } rows[] = {
      {"ExplicitKey", 267, "TRAY2"},
      {"CommonName", 1, "TRAY1"},
      {"Automatic", 7, "AUTO"},
      {"NoSuchTray", 3, "AUTO"},
  };
  int jobs = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    QtPrintSurface surface(target);
    surface.SetPaperBin(row.bin);
    surface.Print(row.name, true);
    surface.EndDoc();
    EXPECT_EQ(surface.PaperBin(), row.bin);
    ASSERT_TRUE(daemon.WaitForCompletedJobs("Trays", ++jobs));
    EXPECT_EQ(PrintedTray(daemon.OutputFile("Trays")), row.tray);
  }
}

}  // namespace
}  // namespace corvel
