#include "common/serial_line_settings.h"

namespace corvel {

std::string DescribeLine(const SerialLineSettings& line) {
  if (!line.terminal) return "reports";
  const char parity = line.parity == SerialParity::Even  ? 'E'
                      : line.parity == SerialParity::Odd ? 'O'
                                                         : 'N';
  return std::to_string(line.baud) + " " + std::to_string(line.dataBits) + parity +
         std::to_string(line.stopBits);
}

}  // namespace corvel
