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
  for (int x = 0; x < image.width(); ++x) {
    if (qGray(image.pixel(x, y)) >= 128) continue;
    if (!runs.empty() && runs.back().first + runs.back().second == x)
      ++runs.back().second;
    else
      runs.emplace_back(x, 1);
  }
  return runs;
}

// The largest difference in dots between bars of the same number of modules; -1 when the
// bars' pitches (a bar and the space after it) and the last bar, each rounded to whole
// modules, do not make up the symbol's modules: ruler ticks or text strokes that happen
// to be as many bars do not. Pitches keep their width when bars are narrowed.
int Spread(const MeasuredSymbol& symbol, int modules) {
  const double module =
      double(symbol.starts.back() + symbol.widths.back() - symbol.starts.front()) / modules;
  long total = std::max(1L, std::lround(symbol.widths.back() / module));
  for (std::size_t k = 1; k < symbol.starts.size(); ++k)
    total += std::lround((symbol.starts[k] - symbol.starts[k - 1]) / module);
  if (total != modules) return -1;
  std::map<long, std::pair<int, int>> range;  // modules of a bar -> narrowest, widest
  int spread = 0;
  for (const int width : symbol.widths) {
    auto [at, fresh] = range.try_emplace(std::lround(width / module), width, width);
    at->second = {std::min(at->second.first, width), std::max(at->second.second, width)};
    spread = std::max(spread, at->second.second - at->second.first);
  }
  return spread;
}

}  // namespace

std::vector<MeasuredSymbol> MeasureSymbols(const QImage& image, int dpi) {
  struct Found {
    MeasuredSymbol symbol;
    int lastRow = 0, rows = 1;  // the last row crossing it, and how many did
  };
  std::vector<Found> found;
  for (int y = 0; y < image.height(); ++y) {
    const auto runs = BlackRuns(image, y);
    for (std::size_t first = 0, last = 0; first < runs.size(); first = ++last) {
      while (last + 1 < runs.size() &&
             runs[last + 1].first - (runs[last].first + runs[last].second) <= dpi / 8)
        ++last;
      const std::size_t bars = last - first + 1;
      if (ModulesForBars(bars) == 0) continue;
      // A symbol is measured on the first row that crosses it; rows where a text joins
      // its bars do not make it a new one.
      const auto known = std::find_if(found.begin(), found.end(), [&](const Found& f) {
        return f.symbol.starts.front() == runs[first].first && f.symbol.widths.size() == bars &&
               y - f.lastRow <= dpi / 4;
      });
      if (known != found.end()) {
        known->lastRow = y;
        ++known->rows;
        continue;
      }
      MeasuredSymbol symbol;
      symbol.row = y;
      for (std::size_t k = first; k <= last; ++k) {
        symbol.starts.push_back(runs[k].first);
        symbol.widths.push_back(runs[k].second);
      }
      symbol.spread = Spread(symbol, ModulesForBars(bars));
      if (symbol.spread >= 0) found.push_back({std::move(symbol), y});
    }
  }
  // Bars are a sixth of an inch high or more; a line of text that happens to cross as
  // many strokes is gone within fewer rows.
  std::vector<MeasuredSymbol> symbols;
  for (Found& f : found)
    if (f.rows >= dpi / 6) symbols.push_back(std::move(f.symbol));
  return symbols;
}

SpreadSummary Summarise(const std::vector<MeasuredSymbol>& symbols) {
  SpreadSummary summary{.symbols = int(symbols.size()), .uneven = 0, .largest = 0};
  for (const MeasuredSymbol& symbol : symbols) {
    summary.uneven += symbol.spread > 0;
    summary.largest = std::max(summary.largest, symbol.spread);
  }
  return summary;
}

}  // namespace corvel::test
