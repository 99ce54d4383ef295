#include "platform/pdf_file_names.h"

#include <atomic>
#include <cstdio>
#include <ctime>

namespace corvel {

std::string PdfFileName(std::chrono::system_clock::time_point when, int sequence,
                        std::string_view program) {
  using namespace std::chrono;
  const auto micros = duration_cast<microseconds>(when.time_since_epoch()).count();
  std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
  long fraction = static_cast<long>(micros % 1000000);
  if (fraction < 0) {  // times before 1970 round towards the earlier second
    fraction += 1000000;
    --seconds;
  }
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d-%06ld-%04d-", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, fraction,
                sequence % 10000);
  std::string name = stamp;
  for (char c : program) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_';
    name += plain ? c : '_';
  }
  if (program.empty()) name += "document";
  return name + ".pdf";
}

std::string NextPdfFileName(std::string_view program) {
  static std::atomic<int> sequence{0};
  return PdfFileName(std::chrono::system_clock::now(), ++sequence, program);
}

}  // namespace corvel
