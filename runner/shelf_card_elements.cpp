#include "runner/shelf_card_elements.h"

#include <cmath>
#include <optional>
#include <tuple>
#include <utility>

#include "common/number_text.h"
#include "common/text.h"
#include "runner/shelf_card_fit.h"

namespace corvel {
namespace {

using namespace shelf_card;

constexpr int kDescription = 3;
constexpr int kPrice = 4;
constexpr double kBoxUnit = 30;            // twips per unit of a Height cell
constexpr double kFitWidth = 0.95;         // of the page width: text fitting
constexpr double kBottomPrint = 0.9527;    // of the page height: lowest bottom of a text
constexpr double kSmallPageHeight = 2000;  // split and halving threshold

// The numeric rows as messages name them.
constexpr const char* kNumericRowNames[] = {"Left", "Top", "Height", "Colour"};

class CardPrinter {
 public:
  CardPrinter(PrintSurface& surface, const ShelfRecord& card, std::int16_t layout)
      : surface_(surface), card_(card), layout_(layout) {}

  ShelfCardOutcome Print() {
    SkipIfItFails([&] {
      pageWidth_ = surface_.PageWidth();
      pageHeight_ = surface_.PageHeight();
    });
    for (element_ = 1; element_ <= ShelfRecord::kElementCount; ++element_) {
      if (surface_.Page() > 1) {
        outcome_.problems.push_back("ran onto a second page; elements " + std::to_string(element_) +
                                    " to 8 were not printed");
        break;
      }
      PrintElement(element_);
    }
    return std::move(outcome_);
  }

 private:
  std::string Cell(int x, LayoutRow y) const { return TrimSpaces(card_.Layout(x, y, layout_)); }
  // A numeric cell; one beyond any number is reported, and its step skipped.
  double Number(int x, LayoutRow y) {
    const std::string cell = Cell(x, y);
    try {
      return ReadLeadingNumber(cell);
    } catch (const OverflowError&) {
      Note(x,
           "cell " + std::string(kNumericRowNames[y]) + " \"" + cell + "\" is beyond any number");
      throw;
    }
  }
  bool HeightIsZero(int e) const {
    try {
      return ReadLeadingNumber(Cell(e, kRowHeight)) == 0;
    } catch (const Failure&) {
      return false;
    }
  }
  std::string ElementText(int e) const { return TrimSpaces(card_.Text(e - 1)); }

  // Reports a problem of element e, once per element and wording.
  void Note(int e, const std::string& what) {
    std::string line = "element " + std::to_string(e);
    if (e == kDescription) line += " (description)";
    if (e == kPrice) line += " (price)";
    line += " " + what;
    for (const std::string& seen : outcome_.problems)
      if (seen == line) return;
    outcome_.problems.push_back(std::move(line));
  }

  // Each step is skipped on its own when it fails; the state it would have set keeps
  // its earlier value, the previous element's included.
  void PrintElement(int e) {
    SkipIfItFails([&] { surface_.SetTextColor(Colour(e)); });
    SkipIfItFails([&] { SetFont(e); });
    SkipIfItFails([&] { text_ = ElementText(e); });
    if (e == kDescription) SkipIfItFails([&] { SplitDescription(); });
    if (e == kPrice) {
      SkipIfItFails([&] {
        hidePrice_ = text_ == "0.00";
        text_ = ShelfPriceText(text_);
      });
    }
    SkipIfItFails([&] { SetBox(e); });
    SkipIfItFails([&] { FitTextToBox(); });
    measured_ = e == kPrice ? text_ + "K" : text_;  // room for the unit word
    SkipIfItFails([&] { raise_ += kBoxUnit * FitTextToPage(kFitWidth); });
    SkipIfItFails([&] { PlaceAcross(e); });
    SkipIfItFails([&] {
      const double top = Number(e, kRowTop);
      surface_.SetCurrentY(TopOfText(top, surface_.TextHeight(text_), raise_, pageHeight_));
    });
    if (e == kPrice) {
      SkipIfItFails([&] { OutputPrice(); });
    } else if (e == kDescription) {
      OutputDescription();
    } else {
      SkipIfItFails([&] { OutputLine(); });
    }
  }

  std::int32_t Colour(int e) {
    const double colour = Number(e, kRowColour);
    try {
      return colour != 0 ? ToInt32(colour) : 0;
    } catch (const OverflowError&) {
      Note(e, "cell Colour \"" + Cell(e, kRowColour) + "\" is no colour");
      throw;
    }
  }

  void SetFont(int e) {
    const std::string name = Cell(e, kRowFontName);
    if (!name.empty()) surface_.SetFontName(name);
    surface_.SetItalic(!Cell(e, kRowItalic).empty());
    surface_.SetBold(!Cell(e, kRowBold).empty());
    surface_.SetUnderline(!Cell(e, kRowUnderline).empty());
    surface_.SetStrikethrough(!Cell(e, kRowStrikethrough).empty());
  }

  // On taller pages of layouts 2 and 3 the description is set on two lines.
  void SplitDescription() {
    if (layout_ == 1 || !(pageHeight_ > kSmallPageHeight)) return;
    std::tie(text_, secondLine_) = SplitAtFirstSpace(text_);
  }

  // The box height; the description and the price take half the box of an empty
  // element below them (5 and 7), the description raised by half of that.
  void SetBox(int e) {
    double height = kBoxUnit * Number(e, kRowHeight);
    double raise = 0;
    if (e == kDescription && ElementText(5).empty()) {
      raise = kBoxUnit * Number(5, kRowHeight);
      height += raise / 2;
    }
    if (e == kPrice && ElementText(7).empty()) height += kBoxUnit * Number(7, kRowHeight) / 2;
    if (!secondLine_.empty()) height /= 2;
    if (pageHeight_ < kSmallPageHeight) height /= 2;
    boxHeight_ = height;
    raise_ = raise;
  }

  // The text is dropped when not even size 1 fits its box.
  void FitTextToBox() {
    const FontFit fit = FitToHeight(surface_, text_, boxHeight_);
    fontSize_ = fit.size;
    if (!fit.fits) {
      // A Height of 0 is how a layout leaves an element out; any other box that no
      // size fits loses a text the card was meant to carry.
      if (!text_.empty() && !HeightIsZero(element_))
        Note(element_, Quoted(text_) + " fits no font size in its box (Height " +
                           Quoted(Cell(element_, kRowHeight)) + ") and is left off");
      text_.clear();
    }
    fittedHeight_ = surface_.TextHeight(text_);
  }

  // Shrinks the measured text below `share` of the page width and returns the size
  // change (0 or negative). The text is dropped when no size is small enough.
  double FitTextToPage(double share) {
    const FontFit fit = ShrinkToWidth(surface_, measured_, fontSize_, share * pageWidth_);
    const double change = fit.size - fontSize_;
    fontSize_ = fit.size;
    if (!fit.fits) {
      if (!text_.empty())
        Note(element_, Quoted(text_) + " is too wide for the page at any size and is left off");
      text_.clear();
    }
    return change;
  }

  void PlaceAcross(int e) {
    std::optional<double> left;
    if (!Cell(e, kRowLeft).empty()) left = Number(e, kRowLeft);
    const std::optional<double> x = LeftOfText(left, surface_.TextWidth(text_),
                                               surface_.TextWidth(measured_ + " "), pageWidth_);
    if (x) surface_.SetCurrentX(*x);
  }

  // Sets the font size unless the printer refuses it; says whether it was set.
  bool TrySetFontSize(double points) {
    bool set = false;
    SkipIfItFails([&] {
      surface_.SetFontSize(points);
      set = true;
    });
    return set;
  }

  // The price, then its unit word at half the size with the bottoms lined up.
  void OutputPrice() {
    SkipIfItFails([&] {
      secondLine_.clear();
      secondLine_ = UnitWord(text_, card_.ByWeight());
    });
    if (hidePrice_) {
      secondLine_.clear();
      text_.clear();
    }
    const double size = fontSize_;
    const double priceLeft = surface_.CurrentX();
    double bottom = surface_.TextHeight(text_) + surface_.CurrentY();
    // A half size the printer refuses (below 1) leaves the unit word measured at the
    // current size.
    TrySetFontSize(std::floor(size / 2));
    const double unitWidth = surface_.TextWidth(" " + secondLine_);
    if (!(unitWidth + priceLeft < pageWidth_)) {
      if (!secondLine_.empty())
        Note(kPrice,
             "unit word " + Quoted(secondLine_) + " is left off: no room right of the price");
      secondLine_.clear();
    } else {
      surface_.SetCurrentX(priceLeft - unitWidth / 2 > 0 ? priceLeft - unitWidth / 2 : 0);
    }
    if (TrySetFontSize(size)) {
      const double test = surface_.TextHeight("Test");
      if (test != fittedHeight_) {
        const double shift = (fittedHeight_ - test) / 2;
        surface_.SetCurrentY(surface_.CurrentY() + shift);
        bottom += shift;
      }
    }
    SkipIfItFails([&] { PrintText(text_, false); });
    TrySetFontSize(size / 2);
    surface_.SetCurrentY(bottom - surface_.TextHeight(text_));
    if (!secondLine_.empty()) PrintText(secondLine_, true);
  }

  // The description's first line, then its second line centred under it.
  void OutputDescription() {
    SkipIfItFails([&] {
      if (!text_.empty()) {
        PrintText(text_, true);
      } else {
        surface_.SetCurrentY(surface_.CurrentY() + surface_.TextHeight("l") / 2);
        surface_.SetFontSize(fontSize_ * 2);
        fontSize_ *= 2;
      }
    });
    SkipIfItFails([&] {
      text_ = secondLine_;
      measured_ = text_ + "-";
      FitTextToPage(kLeftLimit);
    });
    SkipIfItFails(
        [&] { surface_.SetCurrentX(pageWidth_ / 2 - surface_.TextWidth(measured_) / 2); });
    SkipIfItFails([&] { OutputLine(); });
  }

  void OutputLine() {
    if (text_.empty()) return;
    if (surface_.TextHeight(text_) + surface_.CurrentY() < kBottomPrint * pageHeight_) {
      PrintText(text_, true);
    } else {
      Note(element_,
           Quoted(text_) + " is left off: it would end below the lowest line of the page");
    }
  }

  // Prints a text, reporting one that runs past an edge of the page: the printer cuts
  // it there, and the rest of the card still prints.
  void PrintText(const std::string& text, bool lineEnd) {
    if (!text.empty() && pageWidth_ > 0 && pageHeight_ > 0) {
      const std::string edges =
          CutEdges(surface_.CurrentX(), surface_.CurrentY(), surface_.TextWidth(text),
                   surface_.TextHeight(text), pageWidth_, pageHeight_);
      if (!edges.empty())
        Note(element_, Quoted(text) + " is cut at the " + edges +
                           (edges.find(" and ") != std::string::npos ? " edges" : " edge") +
                           " of the page");
    }
    try {
      surface_.Print(text, lineEnd);
    } catch (const Failure& failure) {
      Note(element_, Quoted(text) + " is not printed: " + failure.what());
      throw;
    }
  }

  PrintSurface& surface_;
  const ShelfRecord& card_;
  const std::int16_t layout_;  // 1..3
  ShelfCardOutcome outcome_;
  int element_ = 0;  // the element being printed, 1..8
  double pageWidth_ = 0, pageHeight_ = 0;

  // The state of the element being printed. A failed step leaves the previous value,
  // and the unit word left in `secondLine_` by the price halves the boxes after it.
  std::string text_;        // the text as it prints
  std::string measured_;    // the text it is fitted and centred by
  std::string secondLine_;  // the description's second line; the price's unit word
  bool hidePrice_ = false;  // a price of "0.00" prints nothing
  double boxHeight_ = 0;    // twips
  double raise_ = 0;        // twice how far above its Top the text is set (a narrowed text: below)
  double fontSize_ = kStartSize;
  double fittedHeight_ = 0;  // the text height at the size that fits the box
};

}  // namespace

std::string ShelfPriceText(const std::string& price) {
  const double value = ReadLeadingNumber(price);
  if (value == 0) return price;
  if (value >= 1) return FormatNumber(value, "$0.00");
  return GeneralNumber(value * 100) + "c";
}

ShelfCardOutcome PrintShelfCardElements(PrintSurface& surface, const ShelfRecord& card,
                                        std::int16_t layoutNumber) {
  return CardPrinter(surface, card, layoutNumber).Print();
}

}  // namespace corvel
