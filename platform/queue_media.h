#pragma once
// A page size a print queue offers, and the rules that read one from the text of the
// queue's PPD: the default size a driver names (one of its own sizes, or a custom size
// "Custom.60x40mm" that the print server cannot name in IPP terms) and whether the
// driver takes custom sizes at all. Plain text rules, no print server.
#include <optional>
#include <string>
#include <string_view>

namespace corvel {

// A page size offered by a queue, in millimetres, with its unprintable margins. Width
// and height are as the queue reports them (a 60 x 40 mm label is 60 wide, 40 high).
struct QueueMedia {
  std::string name;  // the media name requested with a job ("iso_a5_148x210mm", ...)
  double widthMm = 0, heightMm = 0;
  double leftMm = 0, rightMm = 0, topMm = 0, bottomMm = 0;
  double dpi = 0;  // the queue's default resolution across the page (0: it reports none)

  // True when both sides are within half a millimetre of the other's (either way round
  // when `turned` is allowed).
  bool SameSize(double width, double height, bool turned = false) const;
  // "76.2 x 50.8 mm", to a tenth of a millimetre, for people.
  std::string Describe() const;
};

// The size of a custom page size name, "Custom.WxH" with an optional unit (pt when
// none, else in, cm, mm, m, ft), in millimetres: nothing when it does not read.
std::optional<QueueMedia> ParseCustomPageSize(std::string_view name);

// The PPD's default page size: "*DefaultPageSize" with that size's "*PaperDimension"
// and "*ImageableArea", or a custom size with the PPD's "*HWMargins". Nothing when the
// PPD names none that reads. The name is the PPD's own (requested with a job as it is).
std::optional<QueueMedia> ParsePpdDefaultPageSize(std::string_view ppd);

// True when the PPD offers custom page sizes ("*CustomPageSize True").
bool PpdTakesCustomSizes(std::string_view ppd);

}  // namespace corvel
