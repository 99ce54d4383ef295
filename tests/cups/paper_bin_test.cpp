// Paper bins reach a CUPS queue as its tray option, found over the local socket: the
// queue's PPD turns the chosen slot into "@PJL SET MEDIASOURCE=..." in front of the job.
#include <gtest/gtest.h>

#include <tuple>

#include "common/settings_store.h"
#include "platform/printing.h"
#include "platform/qt_print_surface.h"
#include "tests/support/cups_daemon.h"

namespace corvel {
namespace {

using Slots = std::vector<std::string>;

TEST(InputSlotTest, ParsesThePpdChoices) {
  EXPECT_EQ(ParsePpdInputSlots("*PageSize A4/A4: \"\"\n*DefaultInputSlot: Auto\n"
                               "*InputSlot Auto/Automatic: \"\"\n*InputSlot Tray1: \"x\"\r\n"
                               "*InputSlot Tray2/Tray 2: \"y\"\n"),
            (Slots{"Auto", "Tray1", "Tray2"}));
  // Lookalikes, and a name that would not be safe in a job option.
  EXPECT_EQ(ParsePpdInputSlots("*InputSlots A/B: \"\"\n*%InputSlot X: \"\"\n *InputSlot Y: "
                               "\"\"\n*InputSlot a,b/x: \"\"\n"),
            Slots{});
}

TEST(InputSlotTest, ChoosesExplicitThenCommonNames) {
  const std::map<int, std::string> explicitSlots = {{267, "tray2"}, {268, "Tray9"}, {2, ""}};
  // Bin, slots the queue offers, slot chosen.
  const std::tuple<int, Slots, const char*> rows[] = {
      {267, {"Auto", "Tray1", "TRAY2"}, "TRAY2"},   // explicit, in the queue's spelling
      {268, {"Auto", "Tray1", "Tray2"}, ""},        // explicit but not offered
      {2, {"Lower", "Tray2"}, ""},                  // an empty explicit slot wins
      {1, {"Tray1", "top"}, "top"},                 // common names in preference order
      {14, {"Auto", "Tray1"}, "Tray1"},             // cassette falls back to tray 1
      {7, {"Auto", "Tray1"}, ""},                   // automatic has no name
      {3, {"auto", "tray-1", "tray-3"}, "tray-3"},  // IPP names
  };
  for (const auto& [bin, offered, expected] : rows)
    EXPECT_EQ(ChooseInputSlot(bin, explicitSlots, offered), expected) << bin;
}

TEST(InputSlotTest, TargetTakesTheSectionsInputSlotKeys) {
  MemorySettingsStore settings;
  // Only keys naming a bin number 1..32767 count; another section's keys do not.
  settings.SaveMany("Printer", {{"InputSlot267", " Tray2 "},
                                {"InputSlot7", ""},
                                {"InputSlot32767", "Top"},
                                {"InputSlot0267", "Tray9"},
                                {"InputSlot32768", "Tray9"},
                                {"InputSlotA", "Tray9"},
                                {"InputSlot", "Tray9"}});
  settings.Save("Zebra", "InputSlot1", "Tray9");
  const std::map<int, std::string> expected = {{7, ""}, {267, "Tray2"}, {32767, "Top"}};
  EXPECT_EQ(ChoosePrinterTarget(settings, "Printer", "sheetwise").inputSlots, expected);
}

TEST(PaperBinCupsTest, BinSelectsTheQueueTray) {
  if (!test::CupsDaemon::Installed()) GTEST_SKIP() << "cupsd is not installed";
  test::CupsDaemon daemon;
  QString error;
  ASSERT_TRUE(daemon.StartWithQueues({{"Trays", test::CupsDaemon::OfficePpd()}}, &error))
      << error.toStdString();
  daemon.SetClientEnvironment();  // the scheduler's unix socket
  SetUpFonts();

  MemorySettingsStore settings;
  settings.SaveMany("Printer", {{"PrinterName", "Trays"}, {"InputSlot267", "tray2"}});
  const PrinterTarget target = ChoosePrinterTarget(settings, "Printer", "sheetwise");
  ASSERT_EQ(target.kind, PrinterTarget::Kind::CupsQueue);

  // Bin, tray named in the job: explicit key, common name, automatic, no such tray.
  const std::pair<int, const char*> rows[] = {
      {267, "TRAY2"}, {1, "TRAY1"}, {7, "AUTO"}, {3, "AUTO"}};
  int jobs = 0;
  for (const auto& [bin, tray] : rows) {
    QtPrintSurface surface(target);
    surface.SetPaperBin(bin);
    surface.Print("tray", true);
    surface.EndDoc();
    EXPECT_EQ(surface.PaperBin(), bin);
    ASSERT_TRUE(daemon.WaitForCompletedJobs("Trays", ++jobs));
    EXPECT_EQ(daemon.PjlSetting("Trays", "MEDIASOURCE"), tray) << bin;
  }
}

}  // namespace
}  // namespace corvel
