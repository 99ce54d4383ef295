#include "tests/support/bar_widths.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace corvel::test {
namespace {

int ModulesForBars(std::size_t bars) {
  return bars == 30 ? 95 : bars == 22 ? 67 : bars == 17 ? 51 : 0;
}

// The black runs of one row: left edge and width.
std::vector<std::pair<int, int>> BlackRuns(const QImage& image, int y) {
  std::vector<std::pair<int, int>> runs;
  const auto dark = [&](int x) { return qGray(image.pixel(x, y)) < 128; };
  for (int x = 0; x < image.width();) {
    if (!dark(x)) {
      ++x;
      continue;
    }
    const int start = x;
    while (x < image.width() && dark(x))
      ++x;
    runs.emplace_back(start, x - start);
  }
  return runs;
}

double ModuleWidth(const MeasuredSymbol& symbol, int modules) {
  return double(symbol.starts.back() + symbol.widths.back() - symbol.starts.front()) / modules;
}

// True when the bars' pitches (a bar and the space after it) and the last bar, each
// rounded to whole modules, make up the symbol's modules: ruler ticks or text strokes
// that happen to be as many do not. Pitches keep their width when bars are narrowed.
bool AddsUp(const MeasuredSymbol& symbol, int modules) {
  const double module = ModuleWidth(symbol, modules);
  long total = std::max(1L, std::lround(symbol.widths.back() / module));
  for (std::size_t k = 1; k < symbol.starts.size(); ++k)
    total += std::lround((symbol.starts[k] - symbol.starts[k - 1]) / module);
  return total == modules;
}

int Spread(const MeasuredSymbol& symbol, int modules) {
  const double module = ModuleWidth(symbol, modules);
  std::map<long, std::pair<int, int>> range;  // modules of a bar -> narrowest, widest
  for (const int width : symbol.widths) {
    auto [at, fresh] = range.try_emplace(std::lround(width / module), width, width);
    at->second = {std::min(at->second.first, width), std::max(at->second.second, width)};
  }
  int spread = 0;
  for (const auto& [n, minMax] : range)
    spread = std::max(spread, minMax.second - minMax.first);
  return spread;
}

}  // namespace

std::vector<MeasuredSymbol> MeasureSymbols(const QImage& image, int dpi) {
  std::vector<MeasuredSymbol> found;
  std::vector<int> lastRows, rows;  // of each symbol found: the last row crossing it, and how many
  const int maxGap = dpi / 8;
  for (int y = 0; y < image.height(); ++y) {
    const auto runs = BlackRuns(image, y);
    for (std::size_t first = 0; first < runs.size();) {
      std::size_t last = first;
      while (last + 1 < runs.size() &&
             runs[last + 1].first - (runs[last].first + runs[last].second) <= maxGap)
        ++last;
      const std::size_t bars = last - first + 1;
      first = last + 1;
      if (ModulesForBars(bars) == 0) continue;
      const int x = runs[last + 1 - bars].first;
      // A symbol is measured on the first row that crosses it; rows where a text joins
      // its bars do not make it a new one.
      bool known = false;
      for (std::size_t k = 0; k < found.size() && !known; ++k) {
        if (found[k].starts.front() == x && found[k].widths.size() == bars &&
            y - lastRows[k] <= dpi / 4) {
          lastRows[k] = y;
          ++rows[k];
          known = true;
        }
      }
      if (known) continue;
      MeasuredSymbol symbol;
      symbol.row = y;
      for (std::size_t k = last + 1 - bars; k <= last; ++k) {
        symbol.starts.push_back(runs[k].first);
        symbol.widths.push_back(runs[k].second);
      }
      if (!AddsUp(symbol, ModulesForBars(bars))) continue;
      symbol.spread = Spread(symbol, ModulesForBars(bars));
      found.push_back(std::move(symbol));
      lastRows.push_back(y);
      rows.push_back(1);
    }
  }
  // Bars are a sixth of an inch high or more; a line of text that happens to cross as
  // many strokes is gone within fewer rows.
  std::vector<MeasuredSymbol> symbols;
  for (std::size_t k = 0; k < found.size(); ++k)
    if (rows[k] >= dpi / 6) symbols.push_back(std::move(found[k]));
  return symbols;
}

SpreadSummary Summarise(const std::vector<MeasuredSymbol>& symbols) {
  SpreadSummary summary;
  summary.symbols = int(symbols.size());
  for (const MeasuredSymbol& symbol : symbols) {
    if (symbol.spread > 0) ++summary.uneven;
    summary.largest = std::max(summary.largest, symbol.spread);
  }
  return summary;
}

}  // namespace corvel::test
