#pragma once
// How a serial line is set up: speed, character framing, and whether the device is a
// serial line at all (a USB scale's report node is read as it is, with no line settings).
#include <string>

namespace corvel {

enum class SerialParity { None, Even, Odd };

struct SerialLineSettings {
  int baud = 9600;
  int dataBits = 8;
  SerialParity parity = SerialParity::None;
  int stopBits = 1;
  bool terminal = true;  // false: a plain device read as it is (no baud, no framing)

  bool operator==(const SerialLineSettings&) const = default;
};

// "9600 8N1", or "reports" for a plain device.
std::string DescribeLine(const SerialLineSettings& line);

}  // namespace corvel
