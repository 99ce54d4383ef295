// Calibration values as the settings hold them, and the resolution a queue's PPD names.
#include <gtest/gtest.h>

#include <tuple>

#include "common/printer_calibration.h"
#include "platform/cups_trays.h"

namespace corvel {
namespace {

TEST(CalibrationSettings, NumbersAreReadWithoutTheLocaleAndOthersIgnoredAndNamed) {
  const struct {
    std::vector<std::pair<const char*, const char*>> keys;
    double dpi, offsetX, offsetY;
    int barReduction;
    const char* problem;  // part of the problem text ("": none)
  } rows[] = {
      // clang-format off
      {{{"Dpi", "203.2"}, {"OffsetX", " -72.5 "}, {"OffsetY", "36"}, {"BarReduction", "2"}}, 203.2, -72.5, 36, 2, ""},
      {{{"Dpi", "2,5"}, {"OffsetX", "12"}}, 0, 12, 0, 0, "[Calibration Z] Dpi=2,5 is not a number"},
      {{{"Dpi", "20"}, {"OffsetY", "abc"}}, 0, 0, 0, 0, "OffsetY=abc"},
      {{{"BarReduction", "1.5"}}, 0, 0, 0, 0, "BarReduction=1.5 is not a number from 0 to 10"},
      // clang-format on
  };
  for (const auto& row : rows) {
    MemorySettingsStore settings;
    for (const auto& [key, value] : row.keys)
      settings.Save("Calibration Z", key, value);
    const Calibration calibration = ReadCalibration(settings, "Z");
    SCOPED_TRACE(calibration.problem);
    EXPECT_EQ(std::tuple(calibration.dpi, calibration.offsetX, calibration.offsetY,
                         calibration.barReduction),
              std::tuple(row.dpi, row.offsetX, row.offsetY, row.barReduction));
    EXPECT_EQ(calibration.problem.empty(), *row.problem == 0);
    EXPECT_NE(calibration.problem.find(row.problem), std::string::npos);
  }
}

TEST(CalibrationSettings, PpdDefaultResolution) {
  const std::pair<const char*, double> rows[] = {
      {"*PPD-Adobe: \"4.3\"\n*DefaultResolution: 203dpi\n", 203},
      {"*DefaultResolution: 300x600dpi\r\n", 300},
      {"*DefaultResolution: 118dpcm\n", 118 * 2.54},
      {"*DefaultResolution: Auto\n", 0},
      {"*%*DefaultResolution: 203dpi\n", 0},
  };
  for (const auto& [ppd, dpi] : rows)
    EXPECT_DOUBLE_EQ(ParsePpdDefaultResolution(ppd), dpi) << ppd;
}

}  // namespace
}  // namespace corvel
