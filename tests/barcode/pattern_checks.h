#pragma once
// Reading a width pattern back for assertions: element widths, modules and bars.
#include <string>
#include <vector>

namespace corvel::test {

// The element widths of a pattern, or an empty list when the text is not a well-formed
// pattern (widths "1".."4" at even indices, "-" between them).
inline std::vector<int> PatternWidths(const std::string& pattern) {
  std::vector<int> widths;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (i % 2 == 1) {
      if (c != '-') return {};
    } else if (c >= '1' && c <= '4') {
      widths.push_back(c - '0');
    } else {
      return {};
    }
  }
  if (pattern.empty() || pattern.size() % 2 == 0) return {};
  return widths;
}

inline int ModuleCount(const std::string& pattern) {
  int modules = 0;
  for (int w : PatternWidths(pattern))
    modules += w;
  return modules;
}

inline int BarCount(const std::string& pattern) {
  return static_cast<int>((PatternWidths(pattern).size() + 1) / 2);
}

}  // namespace corvel::test
