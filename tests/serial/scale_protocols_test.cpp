// The line and report scales: one table of lines and one of reports read on their own,
// the settings that choose a protocol, and each protocol end to end against the simulated
// scale on a real pty, through the link, up to the weight box and an Autoprint label.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "common/number_text.h"
#include "common/settings_sections.h"
#include "station/scale/scale_protocol.h"
#include "station/scale_settings.h"
#include "tests/serial/scale_test_support.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

using namespace std::string_literals;

// A reading as the weight box would take it: "S" stable, "F" overloaded, then the weight
// in kilograms to the gram ("-" when there is none); "skip" for a line that does not read.
std::string Describe(const std::optional<ScaleFrame>& reading) {
  if (!reading) return "skip";
  std::string text = reading->stable ? "S" : "M";
  if (reading->overloaded) text += "F";
  return text + " " + (reading->weight ? FormatNumber(*reading->weight, "#0.000") : "-");
}

std::string Describe(const ScaleAnswer& answer) {
  return Describe(answer.kind == ScaleAnswer::Kind::Reading ? std::optional(answer.reading)
                                                            : std::nullopt);
}

TEST(ScaleLines, EachLineReadsOnItsOwn) {
  const std::pair<const char*, const char*> rows[] = {
      {"ST,GS,+  1.235kg", "S 1.235"},
      {"US,GS,+  1.235 kg", "M 1.235"},
      {"S S     12.5 g", "S 0.013"},
      {"S D     12.5 g", "M 0.013"},
      {"ST,NT,-  0.005 kg", "S -0.005"},
      {"ST,GS,- 0.000 kg", "S 0.000"},  // an empty scale, whatever its sign
      {"ST,GS,+ 1,235 KG", "S 1.235"},  // a comma as the decimal sign
      {"ST,GS,+ 2.000 lb", "S 0.907"},
      {"ST,GS,+ 2 lbs", "S 0.907"},
      {"ST,GS,+ 16.0 oz", "S 0.454"},
      {"OL,GS,+ ------ kg", "MF -"},  // an overload without a weight
      {"ST,OL,+ 99.999 kg", "SF 99.999"},
      {"ST,GS,+ 1.235", "skip"},     // no unit
      {"ST,GS,+ 1.235 t", "skip"},   // a unit not known
      {"#?!", "skip"},               // junk
      {"ST,GS,+ 1e400 kg", "skip"},  // no exponents: "e400" is no unit
      {"ST,GS,+ 1.", "skip"},
  };
  for (const auto& [line, read] : rows)
    EXPECT_EQ(Describe(ReadScaleLine(line, ScaleOptions{})), read) << line;

  ScaleOptions own;
  own.stableMarkers = {"STABLE"};
  own.overloadMarkers = {"OVER"};
  EXPECT_EQ(Describe(ReadScaleLine("ST 1.000 kg", own)), "M 1.000");
  EXPECT_EQ(Describe(ReadScaleLine("STABLE 1.000 kg", own)), "S 1.000");
  EXPECT_EQ(Describe(ReadScaleLine("OVER", own)), "MF -");
}

// What a stream of bytes gives at a poll: the newest complete line that reads, the
// number of lines that did not, and what is left for the next poll.
TEST(ScaleLines, PollsReadTheNewestCompleteLine) {
  const auto lines = MakeLinesProtocol({});
  const std::tuple<std::string, const char*, int, std::string> rows[] = {
      {"ST,GS,+1.000 kg\r\nST,GS,+2.000 kg\r\n", "S 2.000", 0, ""},
      {"ST,GS,+1.000 kg\rST,GS,+2.0", "S 1.000", 0, "ST,GS,+2.0"},  // the rest still coming
      {"ST,GS,+1.000 kg\njunk\n\n", "S 1.000", 1, ""},
      {"junk\r\nmore junk\r\n", "skip", 2, ""},
      {"ST,GS,+1.000 kg", "skip", 0, "ST,GS,+1.000 kg"},  // no end yet
      {"\r\n\r\n", "skip", 0, ""},
  };
  for (const auto& [bytes, read, skipped, left] : rows) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    std::string received = bytes;
    EXPECT_EQ(lines->Whole(0, received), *read != 's');
    const ScaleAnswer answer = lines->Read(0, received);
    EXPECT_EQ(Describe(answer), read);
    EXPECT_EQ(answer.skipped, skipped);
    EXPECT_EQ(received, left);
  }
}

std::string Report(int status, int unit, int exponent, unsigned count) {
  return {kHidReportId,   char(status),       char(unit),
          char(exponent), char(count & 0xff), char(count >> 8)};
}

TEST(ScaleReports, EveryStatusAndUnit) {
  const std::pair<std::string, const char*> rows[] = {
      {Report(4, 3, -3, 1235), "S 1.235"},  // kg
      {Report(4, 2, 0, 1235), "S 1.235"},   // g
      {Report(4, 2, -1, 12345), "S 1.235"},
      {Report(4, 1, 3, 1235), "S 1.235"},   // mg
      {Report(4, 11, -1, 160), "S 0.454"},  // oz
      {Report(4, 12, -2, 200), "S 0.907"},  // lb
      {Report(4, 3, -3, 65535), "S 65.535"},
      {Report(2, 0, 0, 0), "S 0.000"},                   // zero: arms Autoprint whatever the unit
      {Report(3, 3, -3, 1235), "M -"},                   // in motion
      {Report(5, 3, -3, 5), "S -0.005"},                 // under zero, shown as a negative weight
      {Report(5, 3, -3, 0), "M -"},                      // under zero without a weight
      {Report(6, 3, -3, 0), "MF -"},                     // over weight: "Scale Over Loaded"
      {Report(7, 3, -3, 1235), "M -"},                   // needs calibration
      {Report(8, 3, -3, 1235), "M -"},                   // needs re-zeroing
      {Report(1, 3, -3, 1235), "M -"},                   // fault
      {Report(9, 3, -3, 1235), "skip"},                  // no such status
      {Report(4, 4, -3, 1235), "skip"},                  // carats are no unit here
      {"\x02" + Report(4, 3, -3, 1).substr(1), "skip"},  // another report
      {Report(4, 3, -3, 1).substr(0, 5), "skip"},
  };
  for (const auto& [report, read] : rows)
    EXPECT_EQ(Describe(ReadHidReport(report)), read) << testing::PrintToString(report);
}

TEST(ScaleReports, PollsReadTheNewestReportAndFindReportsAgainAfterJunk) {
  const auto hid = MakeHidProtocol({});
  const std::string one = Report(4, 3, -3, 1000), two = Report(4, 3, -3, 2000);
  const std::tuple<std::string, const char*, int, std::string> rows[] = {
      {one + two, "S 2.000", 0, ""},
      {one + two.substr(0, 4), "S 1.000", 0, two.substr(0, 4)},
      {"\x15?#junk" + one, "S 1.000", 1, ""},  // a stream joined in the middle
      {one.substr(2) + two, "S 2.000", 1, ""},
      {"\x15\x15\x15\x15\x15\x15\x15", "skip", 1, "\x15\x15\x15\x15\x15"},
  };
  for (const auto& [bytes, read, skipped, left] : rows) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    std::string received = bytes;
    const ScaleAnswer answer = hid->Read(0, received);
    EXPECT_EQ(Describe(answer), read);
    EXPECT_EQ(answer.skipped, skipped);
    EXPECT_EQ(received, left);
  }
}

// The settings: the protocol, its line and its markers; a value that does not read is
// named with its key and value, and the default is used.
TEST(ScaleSettings, ValuesThatDoNotReadLeaveTheDefaults) {
  struct Row {
    std::vector<std::pair<const char*, const char*>> values;
    const char* protocol;
    const char* line;
    std::vector<std::string> problems;
  };
  const Row rows[] = {
      {{}, "enq", "9600 8N1", {}},
      {{{"ScaleProtocol", "lines"},
        {"ScaleBaud", "19200"},
        {"ScaleDataBits", "7"},
        {"ScaleParity", "E"},
        {"ScaleStopBits", "2"}},
       "lines",
       "19200 7E2",
       {}},
      {{{"ScaleProtocol", "hid"}, {"ScaleBaud", "x"}}, "hid", "reports", {}},
      {{{"ScaleProtocol", "scale"},
        {"ScaleBaud", "9600.5"},
        {"ScaleDataBits", "9"},
        {"ScaleParity", "none"},
        {"ScaleStopBits", "1.5"}},
       "enq",
       "9600 8N1",
       {"setting Zebra/ScaleProtocol \"scale\"", "setting Zebra/ScaleBaud \"9600.5\"",
        "setting Zebra/ScaleDataBits \"9\"", "setting Zebra/ScaleParity \"none\"",
        "setting Zebra/ScaleStopBits \"1.5\""}},
      {{{"ScaleProtocol", " "}}, "enq", "9600 8N1", {}},  // blank: as absent
  };
  for (const Row& row : rows) {
    MemorySettingsStore settings;
    for (const auto& [key, value] : row.values)
      settings.Save(kStationSection, key, value);
    const ScaleChoice choice = ReadScaleChoice(settings);
    SCOPED_TRACE(row.protocol);
    EXPECT_EQ(choice.protocol->Name(), row.protocol);
    EXPECT_EQ(DescribeLine(choice.protocol->Line()), row.line);
    ASSERT_EQ(choice.problems.size(), row.problems.size());
    for (std::size_t i = 0; i < row.problems.size(); ++i)
      EXPECT_TRUE(choice.problems[i].starts_with(row.problems[i])) << choice.problems[i];
  }
  MemorySettingsStore settings;
  settings.Save(kStationSection, "ScaleProtocol", "lines");
  settings.Save(kStationSection, "ScaleRequest", "SI\\r\\n");
  settings.Save(kStationSection, "ScaleStableMarker", "STABLE|OK");
  settings.Save(kStationSection, "ScaleDevice", "/dev/serial/by-id/usb-scale");
  const ScaleChoice choice = ReadScaleChoice(settings);
  EXPECT_EQ(choice.protocol->Request(0), "SI\r\n");
  EXPECT_FALSE(choice.protocol->Streams());
  EXPECT_EQ(choice.device, "/dev/serial/by-id/usb-scale");
  std::string line = "OK 1.000 kg\r";
  EXPECT_TRUE(choice.protocol->Read(0, line).reading.stable);
}

}  // namespace
}  // namespace corvel::test
