#pragma once
// The fitting and placing rules of a shelf card's texts, apart from the card's state:
// each returns what it computed. Lengths in twips, sizes in points.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "common/print_surface.h"

namespace corvel::shelf_card {

inline constexpr double kStartSize = 10;
inline constexpr double kLeftLimit = 0.9;      // of the page width: left position, second line
inline constexpr double kBottomClamp = 0.975;  // of the page height: lowest top of a text
inline constexpr double kEdgeTolerance = 0.5;  // twips a text may stand past an edge (rounding)

// A font size found for a text; `fits` is false when not even size 1 does (size 0).
struct FontFit {
  double size = 0;
  bool fits = true;
};

// The largest size (from 10 up, then down) whose text height is below `box`. Leaves
// the surface at the last size tried.
FontFit FitToHeight(PrintSurface& surface, const std::string& text, double box);

// `size`, or the size below it at which `text` is narrower than `limit`, measured at the
// surface's current size first.
FontFit ShrinkToWidth(PrintSurface& surface, const std::string& text, double size, double limit);

// The left of a text: its Left cell when the text then ends within kLeftLimit of the
// page (otherwise none: the cursor stays), or centred by `centredWidth`.
std::optional<double> LeftOfText(std::optional<double> left, double textWidth, double centredWidth,
                                 double pageWidth);

// The top of a text: its Top cell raised by half of `raise`, or clamped so that it
// starts above kBottomClamp of the page.
double TopOfText(double top, double height, double raise, double pageHeight);

// A description in two lines: split at its first space; without one, on the second
// line only.
std::pair<std::string, std::string> SplitAtFirstSpace(const std::string& text);

// "Kg" (sold by weight) or "ea" after a price that reads as a number other than 0 from
// its second character on; empty otherwise. Throws OverflowError beyond any number.
std::string UnitWord(const std::string& price, std::int16_t byWeight);

// The edges of a page of `pageWidth` x `pageHeight` that a text box crosses by more
// than kEdgeTolerance, as "top", "bottom and left", ...; empty when it stands inside.
std::string CutEdges(double x, double y, double width, double height, double pageWidth,
                     double pageHeight);

}  // namespace corvel::shelf_card
