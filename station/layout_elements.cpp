#include "station/layout_elements.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "barcode/barcode_job.h"
#include "common/number_text.h"
#include "common/print_surface.h"
#include "common/settings_sections.h"
#include "common/text.h"
#include "common/units.h"
#include "platform/screen_print_surface.h"
#include "station/label_barcode.h"

namespace corvel {
namespace {

constexpr std::array<LayoutElement, 13> kElements{{
    {"Store name line 1", "StoreTop1", "Storecenter1", "StoreSize1", nullptr, nullptr},
    {"Store name line 2", "StoreTop2", "Storecenter2", "StoreSize2", nullptr, nullptr},
    {"Description line 1", "DescriptionTop1", "DescriptionCenter1", "DescriptionSize1", nullptr,
     nullptr},
    {"Description line 2", "DescriptionTop2", "DescriptionCenter2", "DescriptionSize2", nullptr,
     nullptr},
    {"Description line 3", "DescriptionTop3", "DescriptionCenter3", "DescriptionSize3", nullptr,
     nullptr},
    {"Packing date", "DateTop", "Datecenter", "DateSize", nullptr, nullptr},
    {"Use-by date", "UseDateTop", "UseDatecenter", "UseDateSize", nullptr, nullptr},
    {"Net weight", "WeightTop", "WeightCenter", "WeightSize", nullptr, nullptr},
    {"Price", "PriceTop", "Pricecenter", "PriceSize", nullptr, nullptr},
    {"Price per kg", "PricePerKgTop", "PricePerKgcenter", "PricePerKgSize", nullptr, nullptr},
    {"Item number", "ProductIdTop", "ProductIdcenter", "ProductIdSize", nullptr, nullptr},
    {"Symbol number", "BarcodeFontTop", "BarcodeFontCenter", "BarcodeFontSize", nullptr, nullptr},
    {"Symbol", "BarcodeTop", "BarcodeLefte", nullptr, "BarcodeWidth", "BarcodeHeight"},
}};
static_assert(kElements.size() == kSymbolElement + 1);

// The tops that tell the texts apart: far above any label, one per text element.
constexpr double kTagBase = -32000, kTagStep = 100;
// Texts are measured as printing measures them whatever the resolution; bars are drawn
// without a dot grid, as the preview draws them.
constexpr int kMeasureDpi = 96;
constexpr double kEdgeSlack = 0.5;  // twips: rounding, not a real overhang

double Clamped16(double value) {
  return std::clamp(std::round(value), -32768.0, 32767.0);
}

MemorySettingsStore StationCopy(const SettingsStore& settings) {
  MemorySettingsStore copy;
  for (const std::string& key : settings.Keys(kStationSection))
    copy.Save(kStationSection, key, settings.GetOr(kStationSection, key, ""));
  return copy;
}

std::vector<DrawnBox> Measure(const LabelBoxes& boxes, SettingsStore& settings, const Clock& clock,
                              double widthMm, double heightMm, double* pageWidth = nullptr,
                              double* pageHeight = nullptr) {
  MeasuringSurface surface(std::make_unique<ScreenPrintSurface>(widthMm, heightMm, kMeasureDpi));
  BarcodeJob job;
  PrintWeighedLabel(boxes, settings, surface, clock, job);
  if (pageWidth) *pageWidth = surface.PageWidth();
  if (pageHeight) *pageHeight = surface.PageHeight();
  return surface.Boxes();
}

std::vector<const DrawnBox*> Texts(const std::vector<DrawnBox>& boxes) {
  std::vector<const DrawnBox*> texts;
  for (const DrawnBox& box : boxes)
    if (!box.text.empty()) texts.push_back(&box);
  return texts;
}

void CheckInsideLabel(PlacedElement& placed, double width, double height) {
  if (placed.left < -kEdgeSlack || placed.top < -kEdgeSlack || placed.right > width + kEdgeSlack ||
      placed.bottom > height + kEdgeSlack)
    placed.problem = std::string(kElements[placed.element].name) + " reaches outside the label";
}

// The elements of one drawing: the texts told apart by the same label drawn with its
// texts' tops tagged (it prints the same texts in the same order), the bars as one.
std::vector<PlacedElement> Place(const std::vector<DrawnBox>& drawn,
                                 const std::vector<DrawnBox>& tags) {
  std::vector<PlacedElement> placed;
  const auto texts = Texts(drawn), tagTexts = Texts(tags);
  for (std::size_t k = 0; k < std::min(texts.size(), tagTexts.size()); ++k) {
    const double tag = std::round((tagTexts[k]->top - kTagBase) / kTagStep);
    if (tag < 0 || tag >= kSymbolElement) continue;
    const DrawnBox& box = *texts[k];
    placed.push_back({static_cast<int>(tag), box.left, box.top, box.right, box.bottom});
  }
  // The bars are the only filled boxes of the label.
  PlacedElement symbol{kSymbolElement, 0, 0, 0, 0};
  bool bars = false;
  for (const DrawnBox& box : drawn) {
    if (!box.text.empty()) continue;
    symbol.left = bars ? std::min(symbol.left, box.left) : box.left;
    symbol.top = bars ? std::min(symbol.top, box.top) : box.top;
    symbol.right = bars ? std::max(symbol.right, box.right) : box.right;
    symbol.bottom = bars ? std::max(symbol.bottom, box.bottom) : box.bottom;
    bars = true;
  }
  if (bars) placed.push_back(symbol);
  return placed;
}

// The symbol's clear space for the guides, and what crosses it, by the doctor's rule.
void CheckQuietZones(PlacedElement& symbol, const std::vector<DrawnBox>& drawn, LabelPlan& plan) {
  const double module = (symbol.right - symbol.left) / SymbolModules(Symbology::Ean13);
  const QuietZones quiet = QuietZoneModules(Symbology::Ean13);
  plan.quietZones.push_back({symbol.left - quiet.left * module, symbol.left, symbol.right,
                             symbol.right + quiet.right * module, symbol.top, symbol.bottom});
  for (const QuietZoneIntrusion& intrusion :
       FindQuietZoneIntrusions(drawn, plan.pageWidth, nullptr)) {
    symbol.problem += (symbol.problem.empty() ? "Quiet zone of the symbol crossed: " : "; ") +
                      intrusion.Describe();
  }
}

}  // namespace

std::span<const LayoutElement> LayoutElements() {
  return kElements;
}

LabelPlan PlanLabel(const LabelBoxes& boxes, const SettingsStore& settings, const Clock& clock,
                    double widthMm, double heightMm) {
  MemorySettingsStore copy = StationCopy(settings);
  MemorySettingsStore tagged = copy;
  for (int i = 0; i < kSymbolElement; ++i)
    tagged.Save(kStationSection, kElements[i].top, GeneralNumber(kTagBase + kTagStep * i));
  LabelPlan plan;
  plan.layout = LoadLabelLayout(copy);
  const auto drawTwice = [&](const LabelBoxes& filled, std::vector<DrawnBox>& drawn) {
    drawn = Measure(filled, copy, clock, widthMm, heightMm, &plan.pageWidth, &plan.pageHeight);
    return Place(drawn, Measure(filled, tagged, clock, widthMm, heightMm));
  };
  std::vector<DrawnBox> drawn, sampleDrawn;
  plan.placed = drawTwice(boxes, drawn);

  // What the item shown leaves off (an empty line, no weight, no shelf life, no symbol)
  // is found on a sample label that has it, so that it can be placed all the same.
  LabelBoxes sample = boxes;
  for (std::string* text : {&sample.description1, &sample.description2, &sample.description3,
                            &sample.storeName1, &sample.storeName2})
    if (TrimSpaces(*text).empty()) *text = "Sample text";
  const LabelFigures figures = WorkOutLabelFigures(boxes);
  if (ReadLeadingNumber(figures.weight) <= 0 || ReadLeadingNumber(figures.unitPrice) <= 0) {
    sample.weight = sample.price = "1";
    sample.tare = "0";
    sample.nonWeighed = false;
  }
  if (ReadLeadingNumber(boxes.shelfLife) <= 0) sample.shelfLife = "1";
  if (ReadLeadingNumber(LabelCodeText(boxes.code)) <= 0) sample.code = "1234";
  std::vector<PlacedElement> samples;
  try {
    samples = drawTwice(sample, sampleDrawn);
  } catch (const std::exception&) {
    // No sample label: what this label leaves off cannot be placed now.
  }
  for (PlacedElement& placed : samples) {
    const auto same = [&](const PlacedElement& other) { return other.element == placed.element; };
    if (std::none_of(plan.placed.begin(), plan.placed.end(), same)) {
      placed.shown = false;
      plan.placed.push_back(placed);
    }
  }

  for (PlacedElement& placed : plan.placed) {
    if (!placed.shown) continue;
    if (placed.element == kSymbolElement) CheckQuietZones(placed, drawn, plan);
    const std::string quiet = placed.problem;
    CheckInsideLabel(placed, plan.pageWidth, plan.pageHeight);
    if (!quiet.empty() && placed.problem != quiet) placed.problem += "; " + quiet;
  }
  return plan;
}

double SnapToDots(double twips, double dpi, int dots) {
  if (dpi <= 0) return std::round(twips) + dots;
  const double dot = std::round(DotsFromTwips(twips, dpi)) + dots;
  return std::round(dot * TwipsPerDot(dpi));
}

KeyValues MovedBy(const LayoutElement& element, const LabelLayout& layout, double dxTwips,
                  double dyTwips, double dpi) {
  KeyValues values;
  if (dxTwips != 0)
    values.emplace_back(element.x,
                        Clamped16(SnapToDots(LayoutValueOf(layout, element.x) + dxTwips, dpi)));
  if (dyTwips != 0)
    values.emplace_back(element.top,
                        Clamped16(SnapToDots(LayoutValueOf(layout, element.top) + dyTwips, dpi)));
  return values;
}

KeyValues MovedByDots(const LayoutElement& element, const LabelLayout& layout, int dx, int dy,
                      double dpi) {
  KeyValues values;
  if (dx != 0)
    values.emplace_back(element.x,
                        Clamped16(SnapToDots(LayoutValueOf(layout, element.x), dpi, dx)));
  if (dy != 0)
    values.emplace_back(element.top,
                        Clamped16(SnapToDots(LayoutValueOf(layout, element.top), dpi, dy)));
  return values;
}

KeyValues ResizedBy(const LayoutElement& element, const LabelLayout& layout, int steps, bool height,
                    double dpi) {
  if (steps == 0) return {};
  if (element.size) {
    const double size = std::round(LayoutValueOf(layout, element.size) + steps);
    return {{element.size, std::clamp(size, 1.0, PrintSurface::kLargestFontSize)}};
  }
  const char* key = height ? element.height : element.module;
  const int step = height ? 10 * steps : steps;
  const double old = LayoutValueOf(layout, key);
  const double dot = dpi > 0 ? TwipsPerDot(dpi) : 1;
  const double dots = std::max(1.0, std::round(old / dot) + step);
  return {{key, Clamped16(std::max(1.0, std::round(dots * dot)))}};
}

LayoutChange SaveLayoutValues(SettingsStore& settings, const KeyValues& values) {
  LayoutChange change;
  std::vector<std::pair<std::string, std::string>> texts;
  for (const auto& [key, value] : values) {
    const std::string text = GeneralNumber(value);
    std::optional<std::string> before = settings.Get(kStationSection, key);
    if (before == text) continue;
    change.push_back({key, std::move(before), text});
    texts.emplace_back(key, text);
  }
  if (!texts.empty()) settings.SaveMany(kStationSection, texts);
  return change;
}

LayoutChange RecordLayoutChange(SettingsStore& settings, const std::function<void()>& change) {
  const std::vector<std::string> keys = LabelLayoutKeys();
  std::vector<std::optional<std::string>> before;
  for (const std::string& key : keys)
    before.push_back(settings.Get(kStationSection, key));
  change();
  LayoutChange changed;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    std::optional<std::string> after = settings.Get(kStationSection, keys[i]);
    if (after != before[i]) changed.push_back({keys[i], std::move(before[i]), std::move(after)});
  }
  return changed;
}

void ReplayLayoutChange(SettingsStore& settings, const LayoutChange& change, bool undo) {
  std::vector<std::pair<std::string, std::string>> saved;
  std::vector<std::string> removed;
  for (const KeyChange& key : change) {
    const std::optional<std::string>& text = undo ? key.before : key.after;
    if (text)
      saved.emplace_back(key.key, *text);
    else
      removed.push_back(key.key);
  }
  if (!saved.empty()) settings.SaveMany(kStationSection, saved);
  if (!removed.empty()) settings.Remove(kStationSection, removed);
}

}  // namespace corvel
