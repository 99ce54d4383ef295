#pragma once
// The label's elements as the layout editor sees them: which of the 40 layout keys place
// and size each one, where each one lands on the label as it would print now, what is
// wrong with its place (outside the label, a symbol's quiet zone crossed), and the new
// values a move or a resize gives, snapped to the printer's dots when its resolution is
// known. Changes are saved key by key and remember what they replaced, so that each can
// be undone to the very text that was stored (or to the key's absence).
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "barcode/quiet_zones.h"
#include "common/clock.h"
#include "common/settings_store.h"
#include "station/label_layout.h"
#include "station/weighed_label.h"

namespace corvel {

struct LayoutElement {
  const char* name;    // for people: "Price"
  const char* top;     // the key of its top edge
  const char* x;       // the key of its horizontal place
  const char* size;    // its font size in points; null for the symbol
  const char* module;  // the symbol's module width in twips; null for texts
  const char* height;  // the symbol's bar height in twips; null for texts
};

// The 13 elements: 12 texts, then the symbol (the last entry).
std::span<const LayoutElement> LayoutElements();
inline constexpr int kSymbolElement = 12;

// One element where it lands, in twips from the printable area's corner, and what is
// wrong with its place (empty when nothing is). An element the item shown leaves off (an
// empty line, no weight) is not shown: it is where a sample text would land.
struct PlacedElement {
  int element = 0;
  double left = 0, top = 0, right = 0, bottom = 0;
  std::string problem = {};
  bool shown = true;
};

// A symbol's clear space on either side: the margins a scanner needs, in twips.
struct QuietMargins {
  double leftFrom = 0, leftTo = 0, rightFrom = 0, rightTo = 0, top = 0, bottom = 0;
};

struct LabelPlan {
  LabelLayout layout;                 // the values as the label reads them
  std::vector<PlacedElement> placed;  // the elements drawn, in drawing order
  std::vector<QuietMargins> quietZones;
  double pageWidth = 0, pageHeight = 0;  // twips
};

// Draws the label the preview shows on a surface that only measures (fonts measured as
// printing measures them), twice: once as it stands, once with every text's top set to a
// number of its own, which tells which element each drawn text is; then a sample label
// that has what this one leaves off. Writes nothing to `settings`. Throws what drawing
// the label throws.
LabelPlan PlanLabel(const LabelBoxes& boxes, const SettingsStore& settings, const Clock& clock,
                    double widthMm, double heightMm);

// The whole twip nearest to the printer dot nearest to `twips`, counted from the label's
// corner (whole twips when `dpi` is 0), moved by `dots` dots (twips without a dpi).
double SnapToDots(double twips, double dpi, int dots = 0);

// New values of an element's keys, clamped to the 16-bit range the label reads.
using KeyValues = std::vector<std::pair<std::string, double>>;
// Moved by a distance in twips; only an axis that moved is snapped and changed.
KeyValues MovedBy(const LayoutElement& element, const LabelLayout& layout, double dxTwips,
                  double dyTwips, double dpi);
// Moved by whole dots across and down.
KeyValues MovedByDots(const LayoutElement& element, const LabelLayout& layout, int dx, int dy,
                      double dpi);
// A text a point larger per step (1 to the largest size a surface takes); the symbol's
// module a dot wider per step (at least one dot), or with `height` its bars ten dots higher
// per step (at least one dot).
KeyValues ResizedBy(const LayoutElement& element, const LabelLayout& layout, int steps, bool height,
                    double dpi);

// What a change did to the stored texts: each key's text before and after (none: absent).
struct KeyChange {
  std::string key;
  std::optional<std::string> before, after;
};
using LayoutChange = std::vector<KeyChange>;

// Saves the values whose stored text would change, in one update of section "Zebra",
// and returns what changed (empty when nothing did).
LayoutChange SaveLayoutValues(SettingsStore& settings, const KeyValues& values);
// Runs `change`, which writes any of the 40 keys, and returns what it changed.
LayoutChange RecordLayoutChange(SettingsStore& settings, const std::function<void()>& change);
// Puts back the texts before the change (`undo`) or after it, removing keys that were absent.
void ReplayLayoutChange(SettingsStore& settings, const LayoutChange& change, bool undo);

}  // namespace corvel
