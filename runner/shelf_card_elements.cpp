#include "runner/shelf_card_elements.h"

#include <cmath>
#include <utility>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/text.h"

namespace corvel {
namespace {

// Layout table parameters (y index of a cell).
enum LayoutParameter {
  kLeft = 0,
  kTop = 1,
  kHeight = 2,
  kColour = 3,
  kItalic = 4,
  kBold = 5,
  kFontName = 6,
  kUnderline = 7,
  kStrikethrough = 8,
};
constexpr const char* kParameterNames[] = {"Left", "Top", "Height", "Colour"};

constexpr int kDescription = 3;
constexpr int kPrice = 4;
constexpr double kStartSize = 10;
constexpr double kBoxUnit = 30;
constexpr double kFitWidth = 0.95;         // of the page width: text fitting
constexpr double kLeftLimit = 0.9;         // of the page width: left position, second line
constexpr double kBottomClamp = 0.975;     // of the page height: lowest top of a text
constexpr double kBottomPrint = 0.9527;    // of the page height: lowest bottom of a text
constexpr double kSmallPageHeight = 2000;  // split and halving threshold
constexpr double kEdgeTolerance = 0.5;     // twips a text may stand past an edge (rounding)

// Runs one step of a card; a failure skips the rest of that step only.
template <class Step>
void Try(Step&& step) {
  try {
    step();
  } catch (const Failure&) {
  }
}

class CardPrinter {
 public:
  CardPrinter(PrintSurface& surface, const ShelfRecord& card, std::int16_t z)
      : s_(surface), card_(card), z_(z) {}

  ShelfCardOutcome Print() {
    Try([&] {
      W_ = s_.PageWidth();
      PH_ = s_.PageHeight();
    });
    for (e_ = 1; e_ <= 8; ++e_) {
      if (s_.Page() > 1) {
        outcome_.problems.push_back("ran onto a second page; elements " + std::to_string(e_) +
                                    " to 8 were not printed");
        break;
      }
      Element(e_);
    }
    return std::move(outcome_);
  }

 private:
  std::string Cell(int x, LayoutParameter y) const { return TrimSpaces(card_.Layout(x, y, z_)); }
  // A numeric cell; one beyond any number is reported, and its step skipped.
  double Number(int x, LayoutParameter y) {
    const std::string cell = Cell(x, y);
    try {
      return ReadLeadingNumber(cell);
    } catch (const OverflowError&) {
      Note(x, "cell " + std::string(kParameterNames[y]) + " \"" + cell + "\" is beyond any number");
      throw;
    }
  }

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
  bool HeightIsZero() const {
    try {
      return ReadLeadingNumber(Cell(e_, kHeight)) == 0;
    } catch (const Failure&) {
      return false;
    }
  }
  static std::string Quoted(const std::string& text) { return "\"" + text + "\""; }
  std::string ElementText(int e) const { return TrimSpaces(card_.Text(e - 1)); }

  void Element(int e) {
    Try([&] {
      const double colour = Number(e, kColour);
      try {
        s_.SetTextColor(colour != 0 ? ToInt32(colour) : 0);
      } catch (const OverflowError&) {
        Note(e, "cell Colour \"" + Cell(e, kColour) + "\" is no colour");
        throw;
      }
    });
    Try([&] { SetFont(e); });
    Try([&] { T_ = ElementText(e); });
    if (e == kDescription) Try([&] { SplitDescription(); });
    if (e == kPrice) Try([&] { FormatPrice(); });
    Try([&] { BoxHeight(e); });
    Try([&] { FitHeight(); });
    Try([&] { M_ = e == kPrice ? T_ + "K" : T_; });
    Try([&] { FitWidth(); });
    Try([&] { PlaceAcross(e); });
    Try([&] { PlaceDown(e); });
    if (e == kPrice) {
      OutputPrice();
    } else if (e == kDescription) {
      OutputDescription();
    } else {
      Try([&] { OutputLine(); });
    }
  }

  void SetFont(int e) {
    const std::string name = Cell(e, kFontName);
    if (!name.empty()) s_.SetFontName(name);
    s_.SetItalic(!Cell(e, kItalic).empty());
    s_.SetBold(!Cell(e, kBold).empty());
    s_.SetUnderline(!Cell(e, kUnderline).empty());
    s_.SetStrikethrough(!Cell(e, kStrikethrough).empty());
  }

  // On taller pages of layouts 2 and 3 the description is set on two lines, split at
  // its first space; a description without a space goes on the second line only.
  void SplitDescription() {
    if (z_ == 1 || !(PH_ > kSmallPageHeight)) return;
    const std::size_t space = T_.find(' ');
    if (space != std::string::npos && space > 0) {
      const std::string first = TrimSpaces(T_.substr(0, space + 1));
      secondLine_ = TrimSpaces(T_.substr(space + 1));
      T_ = first;
    } else {
      secondLine_ = T_;
      T_.clear();
    }
  }

  void FormatPrice() {
    hidePrice_ = T_ == "0.00";
    T_ = ShelfPriceText(T_);
  }

  void BoxHeight(int e) {
    double h = kBoxUnit * Number(e, kHeight);
    double d = 0;
    if (e == kDescription && ElementText(5).empty()) {
      d = kBoxUnit * Number(5, kHeight);
      h += d / 2;
    }
    if (e == kPrice && ElementText(7).empty()) h += kBoxUnit * Number(7, kHeight) / 2;
    if (!secondLine_.empty()) h /= 2;
    if (PH_ < kSmallPageHeight) h /= 2;
    H_ = h;
    D_ = d;
  }

  // The largest size (from 10 up, then down) whose text height is below the box height;
  // the text is dropped when not even size 1 fits.
  void FitHeight() {
    S_ = kStartSize;
    s_.SetFontSize(S_);
    double height = s_.TextHeight(T_);
    while (height <= H_ && S_ < PrintSurface::kLargestFontSize) {
      S_ += 1;
      s_.SetFontSize(S_);
      height = s_.TextHeight(T_);
    }
    do {
      S_ -= 1;
      if (S_ <= 0) {
        // A Height of 0 is how a layout leaves an element out; any other box that no
        // size fits loses a text the card was meant to carry.
        if (!T_.empty() && !HeightIsZero())
          Note(e_, Quoted(T_) + " fits no font size in its box (Height " +
                       Quoted(Cell(e_, kHeight)) + ") and is left off");
        T_.clear();
        break;
      }
      s_.SetFontSize(S_);
      height = s_.TextHeight(T_);
    } while (!(height < H_));
    TH0_ = s_.TextHeight(T_);
  }

  // Shrinks the size until `text` is narrower than `limit`; the text is dropped when
  // no size is small enough. Returns the size change (negative or 0).
  double ShrinkToWidth(const std::string& text, double limit) {
    const double start = S_;
    if (!(s_.TextWidth(text) > limit)) return 0;
    double width = 0;
    do {
      S_ -= 1;
      if (S_ <= 0) {
        if (!T_.empty())
          Note(e_, Quoted(T_) + " is too wide for the page at any size and is left off");
        T_.clear();
        break;
      }
      s_.SetFontSize(S_);
      width = s_.TextWidth(text);
    } while (!(width < limit));
    return S_ - start;
  }

  void FitWidth() {
    const double change = ShrinkToWidth(M_, kFitWidth * W_);
    D_ += kBoxUnit * change;
  }

  void PlaceAcross(int e) {
    if (!Cell(e, kLeft).empty()) {
      const double left = Number(e, kLeft);
      if (s_.TextWidth(T_) + left <= kLeftLimit * W_) s_.SetCurrentX(left);
      return;
    }
    s_.SetCurrentX(std::floor(W_ / 2 - s_.TextWidth(M_ + " ") / 2));
  }

  void PlaceDown(int e) {
    const double top = Number(e, kTop);
    const double height = s_.TextHeight(T_);
    if (height + top < kBottomClamp * PH_) {
      s_.SetCurrentY(top - D_ / 2);
    } else {
      s_.SetCurrentY(kBottomClamp * PH_ - height);
    }
  }

  // The price, then its unit word at half the size with the bottoms lined up.
  void OutputPrice() {
    Try([&] {
      secondLine_.clear();
      const std::string afterFirst = LastChars(T_, CharCount(T_) > 0 ? CharCount(T_) - 1 : 0);
      if (ReadLeadingNumber(afterFirst) != 0) secondLine_ = card_.ByWeight() == -1 ? "Kg" : "ea";
    });
    if (hidePrice_) {
      secondLine_.clear();
      T_.clear();
    }
    double s0 = S_, x0 = 0, b1 = 0, u = 0;
    Try([&] {
      s0 = S_;
      x0 = s_.CurrentX();
      b1 = s_.TextHeight(T_) + s_.CurrentY();
    });
    // Separate steps: a half size the printer refuses (below 1) still leaves the unit
    // word measured at the current size.
    Try([&] { s_.SetFontSize(std::floor(s0 / 2)); });
    Try([&] { u = s_.TextWidth(" " + secondLine_); });
    Try([&] {
      if (!(u + x0 < W_)) {
        if (!secondLine_.empty())
          Note(kPrice,
               "unit word " + Quoted(secondLine_) + " is left off: no room right of the price");
        secondLine_.clear();
      } else {
        s_.SetCurrentX(x0 - u / 2 > 0 ? x0 - u / 2 : 0);
      }
    });
    Try([&] {
      s_.SetFontSize(s0);
      const double test = s_.TextHeight("Test");
      if (test != TH0_) {
        const double d = (TH0_ - test) / 2;
        s_.SetCurrentY(s_.CurrentY() + d);
        b1 += d;
      }
    });
    Try([&] { PrintText(T_, false); });
    Try([&] { s_.SetFontSize(s0 / 2); });
    Try([&] { s_.SetCurrentY(b1 - s_.TextHeight(T_)); });
    Try([&] {
      if (!secondLine_.empty()) PrintText(secondLine_, true);
    });
  }

  // The description's first line, then its second line centred under it.
  void OutputDescription() {
    Try([&] {
      if (!T_.empty()) {
        PrintText(T_, true);
      } else {
        s_.SetCurrentY(s_.CurrentY() + s_.TextHeight("l") / 2);
        s_.SetFontSize(S_ * 2);
        S_ *= 2;
      }
    });
    Try([&] {
      T_ = secondLine_;
      M_ = T_ + "-";
      ShrinkToWidth(M_, kLeftLimit * W_);
    });
    Try([&] { s_.SetCurrentX(W_ / 2 - s_.TextWidth(M_) / 2); });
    Try([&] { OutputLine(); });
  }

  void OutputLine() {
    if (T_.empty()) return;
    if (s_.TextHeight(T_) + s_.CurrentY() < kBottomPrint * PH_) {
      PrintText(T_, true);
    } else {
      Note(e_, Quoted(T_) + " is left off: it would end below the lowest line of the page");
    }
  }

  // Prints a text, reporting one that runs past an edge of the page: the printer cuts
  // it there, and the rest of the card still prints.
  void PrintText(const std::string& text, bool lineEnd) {
    if (!text.empty() && W_ > 0 && PH_ > 0) {
      const double x = s_.CurrentX(), y = s_.CurrentY();
      const double w = s_.TextWidth(text), h = s_.TextHeight(text);
      std::string edges;
      int count = 0;
      const auto edge = [&](bool cut, const char* name) {
        if (cut) edges += (count++ ? " and " : "") + std::string(name);
      };
      edge(y < -kEdgeTolerance, "top");
      edge(y + h > PH_ + kEdgeTolerance, "bottom");
      edge(x < -kEdgeTolerance, "left");
      edge(x + w > W_ + kEdgeTolerance, "right");
      if (count > 0)
        Note(e_, Quoted(text) + " is cut at the " + edges + (count > 1 ? " edges" : " edge") +
                     " of the page");
    }
    try {
      s_.Print(text, lineEnd);
    } catch (const Failure& failure) {
      Note(e_, Quoted(text) + " is not printed: " + failure.what());
      throw;
    }
  }

  PrintSurface& s_;
  const ShelfRecord& card_;
  const std::int16_t z_;
  ShelfCardOutcome outcome_;
  int e_ = 0;  // the element being printed
  double W_ = 0, PH_ = 0;
  std::string T_, M_, secondLine_;
  bool hidePrice_ = false;
  double H_ = 0, D_ = 0, S_ = kStartSize, TH0_ = 0;
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
