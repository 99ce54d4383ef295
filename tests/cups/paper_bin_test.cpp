// Paper bins reach a CUPS queue as its InputSlot option: the queue's PPD turns the
// chosen slot into the PJL line "@PJL SET MEDIASOURCE=..." in front of the job.
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

TEST(InputSlotTest, ParsesTheQueueChoices) {
  struct Row {
    const char* name;
    const char* output;
    Slots expected;
  } rows[] = {
      {"AmongOtherOptions",
       "PageSize/Page Size: *A4 Letter\nInputSlot/Media Source: *Auto Tray1 Tray2\nDuplex: None\n",
       {"Auto", "Tray1", "Tray2"}},
      {"ColonInTextCrLf", "InputSlot/Source: rear: Upper *Lower\r\n", {"Upper", "Lower"}},
      {"LookalikeKeyword", "InputSlots/Slots: *Auto Tray1\nMyInputSlot: Tray2\n", {}},
      {"NoChoices", "InputSlot/Media Source:\n", {}},
      {"UnsafeChoicesLeftOut", "InputSlot: *Auto a,b x'y {c} Tray1\n", {"Auto", "Tray1"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ParseInputSlots(row.output), row.expected);
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

// A PPD for a file queue with four trays, the default one automatic.
bool WriteTrayPpd(const QString& path) {
  QFile generic("/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd");
  QFile ppd(path);
  if (!generic.open(QIODevice::ReadOnly) || !ppd.open(QIODevice::WriteOnly)) return false;
  ppd.write(generic.readAll());
  ppd.write(
      "\n*JCLOpenUI *InputSlot/Media Source: PickOne\n"
      "*OrderDependency: 100 JCLSetup *InputSlot\n"
      "*DefaultInputSlot: Auto\n"
      "*InputSlot Auto/Automatic: \"@PJL SET MEDIASOURCE=AUTO<0A>\"\n"
      "*InputSlot Tray1/Tray 1: \"@PJL SET MEDIASOURCE=TRAY1<0A>\"\n"
      "*InputSlot Tray2/Tray 2: \"@PJL SET MEDIASOURCE=TRAY2<0A>\"\n"
      "*InputSlot Manual/Manual Feed: \"@PJL SET MEDIASOURCE=MANUAL<0A>\"\n"
      "*JCLCloseUI: *InputSlot\n");
  return ppd.error() == QFile::NoError;
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
  // The CUPS library in this process keeps the first scheduler it talked to.
  if (!qEnvironmentVariableIsEmpty("CUPS_SERVER")) {
    GTEST_SKIP() << "another scheduler is in use in this process; run this test alone";
  }
  test::CupsDaemon daemon;
  QString error;
  ASSERT_TRUE(daemon.Start(&error)) << error.toStdString();
  daemon.SetClientEnvironment();
  // lpoptions fetches a queue's PPD over the scheduler's TCP port, which this private
  // scheduler does not open; its configuration folder holds the PPD readably instead.
  const QString serverRoot = QFileInfo(daemon.Socket()).path();
  qputenv("CUPS_SERVERROOT", serverRoot.toUtf8());
  const struct ServerRootGuard {
    ~ServerRootGuard() { qunsetenv("CUPS_SERVERROOT"); }
  } serverRootGuard;
  const QString ppd = serverRoot + "/tmp/trays.ppd";
  ASSERT_TRUE(WriteTrayPpd(ppd));
  QString out;
  ASSERT_EQ(
      daemon.RunClient(
          "lpadmin", {"-p", "Trays", "-E", "-v", "file://" + daemon.OutputFile("Trays"), "-P", ppd},
          &out),
      0)
      << out.toStdString();
  SetUpFonts();

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
