#include "station/scale_settings.h"

#include <charconv>

#include "common/settings_sections.h"
#include "common/text.h"

namespace corvel {
namespace {

// A whole number from the list `allowed`, or nothing.
std::optional<int> OneOf(const std::string& text, std::initializer_list<int> allowed) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  for (int ok : allowed)
    if (ok == value) return value;
  return std::nullopt;
}

std::vector<std::string> Alternatives(const std::string& text) {
  std::vector<std::string> markers;
  std::size_t start = 0;
  for (std::size_t bar = text.find('|');; bar = text.find('|', start)) {
    const std::string marker = text.substr(start, bar - start);
    if (!marker.empty()) markers.push_back(marker);
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return markers;
}

class ChoiceReader {
 public:
  ChoiceReader(const SettingsStore& settings, ScaleChoice& choice)
      : settings_(settings), choice_(choice) {}

  // Hands the stored text of `key` to `apply` when present and not blank; reports it
  // when `apply` refuses it.
  template <typename Apply>
  void Read(std::string_view key, std::string_view expected, std::string_view fallback,
            Apply apply) {
    const std::optional<std::string> text = settings_.Get(kStationSection, key);
    if (!text || text->find_first_not_of(' ') == std::string::npos || apply(*text)) return;
    choice_.problems.push_back(SettingText(kStationSection, key, *text) + " is not " +
                               std::string(expected) + "; " + std::string(fallback) + " used");
  }

 private:
  const SettingsStore& settings_;
  ScaleChoice& choice_;
};

}  // namespace

ScaleChoice ReadScaleChoice(const SettingsStore& settings) {
  ScaleChoice choice;
  ChoiceReader reader(settings, choice);
  ScaleOptions options;
  std::string protocol = "enq";
  reader.Read("ScaleProtocol", "enq, lines or hid", "enq", [&](const std::string& text) {
    if (!MakeScaleProtocol(text)) return false;
    protocol = text;
    return true;
  });
  reader.Read("ScaleStableMarker", "a marker", "ST|S S", [&](const std::string& text) {
    options.stableMarkers = Alternatives(text);
    return true;
  });
  reader.Read("ScaleOverloadMarker", "a marker", "OL", [&](const std::string& text) {
    options.overloadMarkers = Alternatives(text);
    return true;
  });
  reader.Read("ScaleRequest", "a request", "none", [&](const std::string& text) {
    options.request = Unescape(text);
    return true;
  });
  choice.protocol = MakeScaleProtocol(protocol, options);

  SerialLineSettings line = choice.protocol->Line();
  if (line.terminal) {
    reader.Read("ScaleBaud", "a baud rate", "9600", [&](const std::string& text) {
      const auto baud =
          OneOf(text, {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200});
      if (baud) line.baud = *baud;
      return baud.has_value();
    });
    reader.Read("ScaleDataBits", "5, 6, 7 or 8", "8", [&](const std::string& text) {
      const auto bits = OneOf(text, {5, 6, 7, 8});
      if (bits) line.dataBits = *bits;
      return bits.has_value();
    });
    reader.Read("ScaleParity", "N, E or O", "N", [&](const std::string& text) {
      if (text == "N" || text == "n")
        line.parity = SerialParity::None;
      else if (text == "E" || text == "e")
        line.parity = SerialParity::Even;
      else if (text == "O" || text == "o")
        line.parity = SerialParity::Odd;
      else
        return false;
      return true;
    });
    reader.Read("ScaleStopBits", "1 or 2", "1", [&](const std::string& text) {
      const auto bits = OneOf(text, {1, 2});
      if (bits) line.stopBits = *bits;
      return bits.has_value();
    });
  }
  choice.protocol->SetLine(line);
  choice.device = settings.GetOr(kStationSection, "ScaleDevice", "");
  return choice;
}

}  // namespace corvel
