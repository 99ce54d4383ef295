// The simulated scale's readings: their script form and the ENQ frame sent for each.
#include <stdexcept>

#include "station/scale/scale_protocol.h"
#include "tools/sim/scale_simulator.h"

namespace corvel {

std::vector<ScaleReading> ParseScaleReading(std::string_view token) {
  if (token.starts_with("raw:")) {
    ScaleReading reading;
    reading.raw = Unescape(token.substr(4));
    return {reading};
  }
  int count = 1;
  if (const auto x = token.rfind('x'); x != std::string_view::npos && x + 1 < token.size()) {
    const std::string digits(token.substr(x + 1));
    if (digits.find_first_not_of("0123456789") == std::string::npos) {
      if (digits.size() > 6) throw std::invalid_argument("repeat count too large: " + digits);
      count = std::stoi(digits);
      if (count < 1) throw std::invalid_argument("repeat count must be at least 1");
      token = token.substr(0, x);
    }
  }
  ScaleReading reading;
  std::size_t pos = 0;
  for (; pos < token.size(); ++pos) {
    const char flag = token[pos];
    if (flag == 'm' || flag == 'M')
      reading.stable = false;
    else if (flag == 'f' || flag == 'F')
      reading.overloaded = true;
    else if (flag != 's' && flag != 'S')
      break;
  }
  reading.weight = std::string(token.substr(pos));
  if (reading.weight.empty()) {
    if (!reading.overloaded)
      throw std::invalid_argument("no weight in '" + std::string(token) + "'");
    reading.weight = "------";
  }
  if (reading.weight.size() > 6)
    throw std::invalid_argument("weight '" + reading.weight + "' is longer than six characters");
  return std::vector<ScaleReading>(static_cast<std::size_t>(count), reading);
}

std::string BuildScaleFrame(const ScaleReading& reading) {
  if (reading.raw) return *reading.raw;
  return MakeEnqProtocol()->Send({reading.stable, reading.overloaded, reading.weight});
}

}  // namespace corvel
