#include "runner/shelf_card_fit.h"

#include <cmath>

#include "common/number_text.h"
#include "common/text.h"

namespace corvel::shelf_card {

FontFit FitToHeight(PrintSurface& surface, const std::string& text, double box) {
  double size = kStartSize;
  surface.SetFontSize(size);
  double height = surface.TextHeight(text);
  while (height <= box && size < PrintSurface::kLargestFontSize) {
    size += 1;
    surface.SetFontSize(size);
    height = surface.TextHeight(text);
  }
  do {
    size -= 1;
    if (size <= 0) return {size, false};
    surface.SetFontSize(size);
    height = surface.TextHeight(text);
  } while (!(height < box));
  return {size, true};
}

FontFit ShrinkToWidth(PrintSurface& surface, const std::string& text, double size, double limit) {
  if (!(surface.TextWidth(text) > limit)) return {size, true};
  double width = 0;
  do {
    size -= 1;
    if (size <= 0) return {size, false};
    surface.SetFontSize(size);
    width = surface.TextWidth(text);
  } while (!(width < limit));
  return {size, true};
}

std::optional<double> LeftOfText(std::optional<double> left, double textWidth, double centredWidth,
                                 double pageWidth) {
  if (left) return textWidth + *left <= kLeftLimit * pageWidth ? left : std::nullopt;
  return std::floor(pageWidth / 2 - centredWidth / 2);
}

double TopOfText(double top, double height, double raise, double pageHeight) {
  if (height + top < kBottomClamp * pageHeight) return top - raise / 2;
  return kBottomClamp * pageHeight - height;
}

std::pair<std::string, std::string> SplitAtFirstSpace(const std::string& text) {
  const std::size_t space = text.find(' ');
  if (space == std::string::npos || space == 0) return {"", text};
  return {TrimSpaces(text.substr(0, space + 1)), TrimSpaces(text.substr(space + 1))};
}

std::string UnitWord(const std::string& price, std::int16_t byWeight) {
  const std::string afterFirst = LastChars(price, CharCount(price) > 0 ? CharCount(price) - 1 : 0);
  if (ReadLeadingNumber(afterFirst) == 0) return "";
  return byWeight == -1 ? "Kg" : "ea";
}

std::string CutEdges(double x, double y, double width, double height, double pageWidth,
                     double pageHeight) {
  std::string edges;
  const auto edge = [&](bool cut, const char* name) {
    if (cut) edges += (edges.empty() ? "" : " and ") + std::string(name);
  };
  edge(y < -kEdgeTolerance, "top");
  edge(y + height > pageHeight + kEdgeTolerance, "bottom");
  edge(x < -kEdgeTolerance, "left");
  edge(x + width > pageWidth + kEdgeTolerance, "right");
  return edges;
}

}  // namespace corvel::shelf_card
