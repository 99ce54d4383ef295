#include "platform/queue_media.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "common/number_text.h"
#include "common/text.h"
#include "common/units.h"

namespace corvel {
namespace {

constexpr double kMmPerPoint = kMmPerInch / 72;

// The value of the first line "<keyword>: value" (the keyword with its option part, as
// "*PaperDimension w216h144"; an option's "/Text" after the keyword is skipped), quotes
// taken off. Nothing when no line has it.
std::optional<std::string_view> PpdValue(std::string_view ppd, std::string_view keyword) {
  for (std::size_t at = 0; (at = ppd.find(keyword, at)) != std::string_view::npos;
       at += keyword.size()) {
    if (at > 0 && ppd[at - 1] != '\n' && ppd[at - 1] != '\r') continue;
    std::string_view rest = ppd.substr(at + keyword.size());
    rest = rest.substr(0, rest.find_first_of("\r\n"));
    // "*PaperDimension w216h144/3.00x2.00": ..." ends the option at '/' or ':'.
    if (rest.empty() || (rest.front() != ':' && rest.front() != '/')) continue;
    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view value = TrimBlanks(rest.substr(colon + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return std::nullopt;
}

// The numbers of a text such as "0 0 216 144" (points), each finite.
std::vector<double> Numbers(std::string_view text) {
  std::vector<double> found;
  while (true) {
    text = TrimBlanks(text);
    if (text.empty()) return found;
    double value = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || !std::isfinite(value)) return {};
    found.push_back(value);
    text.remove_prefix(static_cast<std::size_t>(stop - text.data()));
  }
}

}  // namespace

bool QueueMedia::SameSize(double width, double height, bool turned) const {
  const auto close = [](double a, double b) { return std::abs(a - b) <= 0.5; };
  return (close(widthMm, width) && close(heightMm, height)) ||
         (turned && close(widthMm, height) && close(heightMm, width));
}

std::string QueueMedia::Describe() const {
  const auto tenths = [](double mm) { return GeneralNumber(std::round(mm * 10) / 10); };
  return tenths(widthMm) + " x " + tenths(heightMm) + " mm";
}

std::optional<QueueMedia> ParseCustomPageSize(std::string_view name) {
  constexpr std::string_view kPrefix = "Custom.";
  if (!name.starts_with(kPrefix)) return std::nullopt;
  std::string_view size = name.substr(kPrefix.size());
  const struct {
    std::string_view unit;
    double mm;
  } units[] = {{"mm", 1},     {"cm", 10},  {"in", kMmPerInch},
               {"ft", 304.8}, {"m", 1000}, {"pt", kMmPerPoint}};
  double perUnit = kMmPerPoint;
  for (const auto& [unit, mm] : units) {
    if (size.ends_with(unit)) {
      size.remove_suffix(unit.size());
      perUnit = mm;
      break;
    }
  }
  const std::size_t x = size.find('x');
  if (x == std::string_view::npos) return std::nullopt;
  double width = 0, height = 0;
  const std::string_view w = size.substr(0, x), h = size.substr(x + 1);
  const auto read = [](std::string_view text, double& value) {
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && stop == text.data() + text.size() &&
           std::isfinite(value) && value > 0;
  };
  if (!read(w, width) || !read(h, height)) return std::nullopt;
  QueueMedia media;
  media.name = std::string(name);
  media.widthMm = width * perUnit;
  media.heightMm = height * perUnit;
  return media;
}

std::optional<QueueMedia> ParsePpdDefaultPageSize(std::string_view ppd) {
  const std::optional<std::string_view> name = PpdValue(ppd, "*DefaultPageSize");
  if (!name || name->empty()) return std::nullopt;
  if (std::optional<QueueMedia> custom = ParseCustomPageSize(*name)) {
    // Margins of a custom size: "*HWMargins: left bottom right top" in points.
    if (const auto margins = PpdValue(ppd, "*HWMargins")) {
      if (const std::vector<double> m = Numbers(*margins); m.size() == 4) {
        custom->leftMm = m[0] * kMmPerPoint;
        custom->bottomMm = m[1] * kMmPerPoint;
        custom->rightMm = m[2] * kMmPerPoint;
        custom->topMm = m[3] * kMmPerPoint;
      }
    }
    return custom;
  }
  std::string option = " " + std::string(*name);
  std::optional<std::string_view> dimension = PpdValue(ppd, "*PaperDimension" + option);
  if (!dimension) {
    // Drivers made from a driverless printer's description name the default "60x40mm"
    // and list only its variants ("60x40mm.Borderless"): the first variant serves.
    const std::string variant = "\n*PaperDimension" + option + ".";
    if (const std::size_t at = ppd.find(variant); at != std::string_view::npos) {
      const std::size_t start = at + std::string_view("\n*PaperDimension ").size();
      option = " " + std::string(ppd.substr(start, ppd.find_first_of("/: ", start) - start));
      dimension = PpdValue(ppd, "*PaperDimension" + option);
    }
  }
  const std::vector<double> size = dimension ? Numbers(*dimension) : std::vector<double>{};
  if (size.size() != 2 || size[0] <= 0 || size[1] <= 0) return std::nullopt;
  QueueMedia media;
  media.name = option.substr(1);
  media.widthMm = size[0] * kMmPerPoint;
  media.heightMm = size[1] * kMmPerPoint;
  // "*ImageableArea: llx lly urx ury" in points from the lower left corner.
  if (const auto area = PpdValue(ppd, "*ImageableArea" + option)) {
    if (const std::vector<double> a = Numbers(*area); a.size() == 4) {
      media.leftMm = std::max(0.0, a[0]) * kMmPerPoint;
      media.bottomMm = std::max(0.0, a[1]) * kMmPerPoint;
      media.rightMm = std::max(0.0, size[0] - a[2]) * kMmPerPoint;
      media.topMm = std::max(0.0, size[1] - a[3]) * kMmPerPoint;
    }
  }
  return media;
}

bool PpdTakesCustomSizes(std::string_view ppd) {
  return PpdValue(ppd, "*CustomPageSize True").has_value();
}

}  // namespace corvel
