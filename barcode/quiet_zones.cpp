#include "barcode/quiet_zones.h"

#include <algorithm>
#include <cmath>

#include "barcode/barcode_job.h"
#include "common/number_text.h"
#include "common/units.h"

namespace corvel {
namespace {

// A symbology as the drawing shows it: its number of bars.
struct SymbolKind {
  std::size_t bars;
  int modules, leftQuiet, rightQuiet;
  const char* name;
};

constexpr SymbolKind KindOf(Symbology symbology) {
  return {static_cast<std::size_t>(SymbolElements(symbology) + 1) / 2, SymbolModules(symbology),
          QuietZoneModules(symbology).left, QuietZoneModules(symbology).right,
          SymbologyName(symbology)};
}

constexpr SymbolKind kKinds[] = {KindOf(Symbology::Ean13), KindOf(Symbology::Ean8),
                                 KindOf(Symbology::UpcE)};

const SymbolKind* KindForBars(std::size_t bars) {
  for (const SymbolKind& kind : kKinds)
    if (kind.bars == bars) return &kind;
  return nullptr;
}

}  // namespace

MeasuringSurface::MeasuringSurface(std::unique_ptr<PrintSurface> metrics)
    : metrics_(std::move(metrics)) {}

void MeasuringSurface::Print(std::string_view text, bool lineEnd) {
  const double width = metrics_->TextWidth(text), height = metrics_->TextHeight(text);
  if (!text.empty()) boxes_.push_back({page_, x_, y_, x_ + width, y_ + height, std::string(text)});
  if (lineEnd) {
    x_ = 0;
    y_ += height;
  } else {
    x_ += width;
  }
}

void MeasuringSurface::FillRect(double x1, double y1, double x2, double y2, std::int32_t) {
  boxes_.push_back(
      {page_, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), {}});
}

std::string QuietZoneIntrusion::Describe() const {
  return "symbol " + std::to_string(symbol) + " (page " + std::to_string(page) + "): " + what +
         " " + FormatNumber(clearMm, "0.0") + " mm (" + FormatNumber(clearModules, "0.0") +
         " modules) from its " + (left ? "left" : "right") + " edge, " +
         std::to_string(wantedModules) + " modules wanted";
}

std::vector<QuietZoneIntrusion> FindQuietZoneIntrusions(const std::vector<DrawnBox>& boxes,
                                                        double pageWidth, int* symbols,
                                                        std::vector<double>* modules) {
  std::vector<QuietZoneIntrusion> found;
  int count = 0;
  for (std::size_t first = 0; first < boxes.size();) {
    // A symbol's bars come one after another, left to right, all of one height.
    std::size_t end = first;
    while (end < boxes.size() && boxes[end].text.empty() && boxes[end].page == boxes[first].page &&
           boxes[end].top == boxes[first].top && boxes[end].bottom == boxes[first].bottom &&
           (end == first || boxes[end].left >= boxes[end - 1].right))
      ++end;
    const SymbolKind* kind = KindForBars(end - first);
    if (!kind) {
      first = std::max(end, first + 1);
      continue;
    }
    ++count;
    const DrawnBox& a = boxes[first];
    const double left = a.left, right = boxes[end - 1].right;
    const double module = (right - left) / kind->modules;
    if (modules) modules->push_back(module);
    // The clear space on each side: to the page edge, or to the nearest text or filled
    // box beside the bars (one that shares some of their height).
    QuietZoneIntrusion sides[2];
    sides[0] = {count, a.page, true, "the page edge", left, 0, kind->leftQuiet};
    sides[1] = {count, a.page, false, "the page edge", pageWidth - right, 0, kind->rightQuiet};
    for (std::size_t k = 0; k < boxes.size(); ++k) {
      const DrawnBox& box = boxes[k];
      if ((k >= first && k < end) || box.page != a.page || box.bottom <= a.top ||
          box.top >= a.bottom)
        continue;
      const std::string what = box.text.empty() ? "a bar or line" : "text \"" + box.text + "\"";
      if (box.right <= left && left - box.right < sides[0].clearModules)
        sides[0] = {count, a.page, true, what, left - box.right, 0, kind->leftQuiet};
      if (box.left >= right && box.left - right < sides[1].clearModules)
        sides[1] = {count, a.page, false, what, box.left - right, 0, kind->rightQuiet};
    }
    for (QuietZoneIntrusion& side : sides) {
      // clearModules held twips so far.
      side.clearMm = side.clearModules / kTwipsPerMm;
      side.clearModules /= module;
      if (side.clearModules < side.wantedModules - 1e-6) {
        side.what = std::string(kind->name) + ": " + side.what;
        found.push_back(side);
      }
    }
    first = end;
  }
  if (symbols) *symbols = count;
  return found;
}

}  // namespace corvel
