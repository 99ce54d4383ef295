// A scale that sends its reading as a line of text, for example "ST,GS,+  1.235 kg" or
// "S S     12.5 g": a signed decimal number (period or comma as the decimal sign), its
// unit, and markers for a stable load and an overload. Lines end in CR, LF or CR LF.
// Without a request the scale streams and each poll reads the newest complete line;
// with one, each poll sends it and reads the line that answers.
#include <charconv>
#include <cmath>

#include "common/text.h"
#include "station/scale/scale_protocol.h"

namespace corvel {
namespace {

bool IsEnd(char c) {
  return c == '\r' || c == '\n';
}

bool Carries(std::string_view line, const std::vector<std::string>& markers) {
  for (const std::string& marker : markers)
    if (!marker.empty() && line.find(marker) != std::string_view::npos) return true;
  return false;
}

// Kilograms in one of the unit (lower case), or 0 for a unit not known.
double KilogramsPer(std::string unit) {
  for (char& c : unit)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  struct Unit {
    std::string_view name;
    double kilograms;
  };
  static constexpr Unit kUnits[] = {
      {"kg", 1}, {"g", 0.001}, {"lb", 0.45359237}, {"lbs", 0.45359237}, {"oz", 0.028349523125}};
  for (const Unit& known : kUnits)
    if (known.name == unit) return known.kilograms;
  return 0;
}

// The newest complete line of `received` that reads, with the number of complete lines
// before it that did not; `end` is where the complete lines end.
NewestReading FindNewest(std::string_view received, const ScaleOptions& options) {
  NewestReading newest;
  std::size_t start = 0;
  for (std::size_t i = 0; i < received.size(); ++i) {
    if (!IsEnd(received[i])) continue;
    const std::string_view line = received.substr(start, i - start);
    start = newest.end = i + 1;
    if (line.empty()) continue;  // the LF of a CR LF
    if (auto reading = ReadScaleLine(line, options))
      newest.reading = reading;
    else
      ++newest.skipped;
  }
  return newest;
}

class LinesProtocol : public ScaleProtocol {
 public:
  explicit LinesProtocol(ScaleOptions options) : options_(std::move(options)) {}

  std::string_view Name() const override { return "lines"; }
  bool Streams() const override { return options_.request.empty(); }
  std::string Request(int) const override { return options_.request; }

  bool Whole(int, std::string_view received) const override {
    return FindNewest(received, options_).reading.has_value();
  }

  ScaleAnswer Read(int, std::string& received) const override {
    return TakeNewest(FindNewest(received, options_), received);
  }

  std::string Send(const ScaleSample& sample) const override {
    const auto first = [](const std::vector<std::string>& markers, const char* fallback) {
      return markers.empty() || markers.front().empty() ? std::string(fallback) : markers.front();
    };
    std::string line = sample.stable ? first(options_.stableMarkers, "ST") : "US";
    line += ",";
    line += sample.overloaded ? first(options_.overloadMarkers, "OL") : "GS";
    line += sample.weight.starts_with('-') ? "," : ",+";
    return line + sample.weight + " kg\r\n";
  }

 private:
  ScaleOptions options_;
};

}  // namespace

std::optional<ScaleFrame> ReadScaleLine(std::string_view line, const ScaleOptions& options) {
  ScaleFrame reading;
  reading.stable = Carries(line, options.stableMarkers);
  reading.overloaded = Carries(line, options.overloadMarkers);
  std::size_t at = 0;
  while (at < line.size() && !IsDigit(line[at]))
    ++at;
  if (at == line.size()) {
    // An overload without a weight is still an overload.
    if (reading.overloaded) return reading;
    return std::nullopt;
  }
  std::size_t before = at;
  while (before > 0 && line[before - 1] == ' ')
    --before;
  const bool negative = before > 0 && line[before - 1] == '-';

  std::string number;
  std::size_t end = at;
  while (end < line.size() && IsDigit(line[end]))
    number += line[end++];
  if (end + 1 < line.size() && (line[end] == '.' || line[end] == ',') && IsDigit(line[end + 1])) {
    number += '.';
    for (++end; end < line.size() && IsDigit(line[end]); ++end)
      number += line[end];
  }
  double value = 0;
  const auto [stop, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  std::size_t unitAt = end;
  while (unitAt < line.size() && line[unitAt] == ' ')
    ++unitAt;
  std::size_t unitEnd = unitAt;
  while (unitEnd < line.size() && std::isalpha(static_cast<unsigned char>(line[unitEnd])))
    ++unitEnd;
  const double perUnit = KilogramsPer(std::string(line.substr(unitAt, unitEnd - unitAt)));
  if (error != std::errc() || perUnit == 0 || !std::isfinite(value * perUnit)) {
    if (reading.overloaded) return reading;
    return std::nullopt;
  }
  // -0 is an empty scale like 0 (and "-0.000 KG" would look wrong in the box).
  reading.weight = (negative ? -value : value) * perUnit + 0.0;
  return reading;
}

std::unique_ptr<ScaleProtocol> MakeLinesProtocol(const ScaleOptions& options) {
  return std::make_unique<LinesProtocol>(options);
}

}  // namespace corvel
