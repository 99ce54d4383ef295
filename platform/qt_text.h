#pragma once
// The programs keep text as UTF-8 in std::string; Qt takes it as QString. One conversion
// for every place that hands text to Qt.
#include <QString>
#include <string_view>

namespace corvel {

inline QString ToQString(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace corvel
