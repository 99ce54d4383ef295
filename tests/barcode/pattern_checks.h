#pragma once
// Reading a width pattern back for assertions.
#include <string>
#include <vector>

namespace corvel::test {

// The element widths of a pattern, or an empty list when the text is not a well-formed
// pattern (widths "1".."4" at even indices, "-" between them, odd length).
inline std::vector<int> PatternWidths(const std::string& pattern) {
  std::vector<int> widths;
  if (pattern.size() % 2 == 0) return {};
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (i % 2 == 1 ? c != '-' : c < '1' || c > '4') return {};
    if (i % 2 == 0) widths.push_back(c - '0');
  }
  return widths;
}

inline int ModuleCount(const std::string& pattern) {
  int modules = 0;
  for (int w : PatternWidths(pattern))
    modules += w;
  return modules;
}

}  // namespace corvel::test
