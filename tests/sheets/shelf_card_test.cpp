// Shelf cards on a recording surface (10 twips wide and 24 high per point and
// character; page 8640 x 5760 unless a case sets another).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "common/settings_sections.h"
#include "runner/jobs.h"
#include "runner/shelf_card_elements.h"
#include "runner/shelf_card_fit.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

using test::ShelfCard;
using Placed = std::tuple<std::string, double, double, double>;  // text, x, y, size

// The non-empty texts put on paper.
std::vector<RecordedOp> Printed(const RecordingSurface& surface) {
  std::vector<RecordedOp> out;
  for (const RecordedOp& op : surface.Texts())
    if (!op.text.empty()) out.push_back(op);
  return out;
}

// A card with element e's text; `cells` are {y, value} for element e in layout z.
ShelfCard Card(int e, const std::string& text, std::vector<std::pair<int, std::string>> cells,
               int z = 1) {
  ShelfCard card{std::vector<std::string>(9), 0, {}};
  card.texts[e - 1] = text;
  for (const auto& [y, value] : cells)
    card.cells.push_back({e, y, z, value});
  return card;
}

// The fitting and placing rules on their own, at their boundaries.
TEST(ShelfCardFit, SizesAndPositions) {
  using namespace shelf_card;
  RecordingSurface surface;
  const auto fit = [](FontFit f) { return std::pair(f.size, f.fits); };
  // Heights: 24 twips a point; a text must be strictly lower than its box.
  EXPECT_EQ(fit(FitToHeight(surface, "Hello", 120)), std::pair(4.0, true));
  EXPECT_EQ(fit(FitToHeight(surface, "Hello", 24)), std::pair(0.0, false));
  EXPECT_EQ(fit(FitToHeight(surface, "Hello", 1e9)),
            std::pair(PrintSurface::kLargestFontSize - 1, true));
  // Widths: 10 twips a point and character, measured at the surface's size first.
  for (const auto& [limit, size, fits] :
       {std::tuple{500.0, 10.0, true}, {499.0, 9.0, true}, {50.0, 0.0, false}}) {
    surface.SetFontSize(10);
    EXPECT_EQ(fit(ShrinkToWidth(surface, "WWWWW", 10, limit)), std::pair(size, fits)) << limit;
  }
  // The printed price ("0c" reads as 0, so 0.5 has no unit word), and the unit word after
  // a price that reads as a number from its second character.
  // clang-format off
  for (const auto& [price, text, unit] : {std::tuple{"0.5", "50c", ""}, {"0.999", "99.9c", "ea"},
                                          {"0", "0", ""}, {"Special", "Special", ""}}) {
    // clang-format on
    EXPECT_EQ(ShelfPriceText(price), text);
    EXPECT_EQ(UnitWord(text, 0), unit) << text;
  }
  EXPECT_EQ(UnitWord("75c", -1), "Kg");
  // Edges crossed by more than half a twip, in the order top, bottom, left, right.
  for (const auto& [x, y, edges] : {std::tuple{-0.5, 0.0, ""},
                                    {-0.6, 0.0, "left"},
                                    {950.0, -10.0, "top and right"},
                                    {-10.0, 950.0, "bottom and left"}})
    EXPECT_EQ(CutEdges(x, y, 100, 100, 1000, 1000), edges) << x << ", " << y;
}

// Where each element lands; what does not reach the page whole is printed as far as it
// goes and reported by element (the first problem given), the others print as usual.
TEST(ShelfCardTest, ElementsArePlacedOrReported) {
  const std::vector<std::pair<int, std::string>> box = {{kRowTop, "1000"}, {kRowHeight, "8"}};
  const std::string wide(30, 'W');
  const struct {
    const char* name;
    ShelfCard card;  // its cells' layout is the one printed
    std::vector<Placed> printed;
    std::string problem = "";
    double pageWidth = 8640;
  } cases[] = {
      // clang-format off
      // Box 120 fits size 4 (96 high). The price moves left by half of " ea" at size 2
      // (60); the unit word follows at half size, its bottom on the price's (500 + 96).
      {"unit word on the price bottom", Card(4, "12.5", {{kRowLeft, "1000"}, {kRowTop, "500"}, {kRowHeight, "4"}}),
       {{"$12.50", 970, 500, 4}, {"ea", 970 + 240, 548, 2}}},
      // Box 45 fits size 1 only: half of it is refused, so " ea" is measured at size 1.
      {"unit word under a price of size 1", Card(4, "12.5", {{kRowLeft, "1000"}, {kRowTop, "500"}, {kRowHeight, "1.5"}}),
       {{"$12.50", 985, 500, 1}, {"ea", 1045, 500, 1}}},
      // Split at the first space, each line in half the box (120: size 4); the second
      // line centred with room for a hyphen.
      {"layout 2 splits", Card(3, "Fresh Bread Rolls", box, 2), {{"Fresh", 4200, 1000, 4}, {"Bread Rolls", 4080, 1096, 4}}},
      {"no space: second line only, double size, half a line lower", Card(3, "Baguette", box, 2),
       {{"Baguette", 4320 - 360, 1048, 8}}},
      // 2700 > 0.95 x 2400: shrunk to 7 and moved down by 30 x 2 / 2.
      {"shrunk to the width", Card(1, wide, box), {{wide, std::floor(1200 - 31 * 70 / 2.0), 1030, 7}}, "", 2400},
      {"zero height: left out unreported", Card(1, "Hello", {{kRowTop, "100"}, {kRowHeight, "0"}}), {}},
      {"price far above the page", Card(4, "12.5", {{kRowTop, "-1e308"}, {kRowHeight, "4"}}), {},
       "element 4 (price) \"$12.50\" is cut at the top edge of the page"},
      // The largest font, narrowed to the page, moves down by half the size change; its
      // centring counts a space beyond the narrowed width.
      {"description box beyond any font", Card(3, "Fresh", {{kRowTop, "0"}, {kRowHeight, "1e308"}}), {},
       "element 3 (description) \"Fresh\" is cut at the bottom and left edges of the page"},
      {"clamped to the bottom, then too low to print", Card(1, "Hello", {{kRowTop, "5600"}, {kRowHeight, "8"}}), {},
       "element 1 \"Hello\" is left off: it would end below the lowest line of the page"},
      {"negative box", Card(1, "Hello", {{kRowTop, "100"}, {kRowHeight, "-4"}}), {},
       "element 1 \"Hello\" fits no font size in its box (Height \"-4\") and is left off"},
      {"top beyond any number", Card(1, "Hello", {{kRowTop, "1e999"}, {kRowHeight, "8"}}), {},
       "element 1 cell Top \"1e999\" is beyond any number"},
      {"colour beyond 32 bits", Card(1, "Hello", {{3, "1e12"}, {kRowTop, "100"}, {kRowHeight, "8"}}), {},
       "element 1 cell Colour \"1e12\" is no colour"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingSurface surface(c.pageWidth, 5760);
    surface.SetCurrentX(1234);
    const ShelfCardOutcome outcome = PrintShelfCardElements(surface, test::MakeShelfRecord(c.card),
                                                            std::int16_t(c.card.cells.front().z));
    if (!c.problem.empty()) {
      ASSERT_FALSE(outcome.problems.empty());
      EXPECT_EQ(outcome.problems.front(), c.problem);
      continue;
    }
    EXPECT_EQ(outcome.problems, std::vector<std::string>{});
    std::vector<Placed> placed;
    for (const RecordedOp& op : Printed(surface))
      placed.emplace_back(op.text, op.x, op.y, op.font.size);
    EXPECT_EQ(placed, c.printed);
  }
}

// A unit word left in the second line halves the boxes after the price (240: size 9;
// halved: size 4). Element 1 checks the font cells too.
TEST(ShelfCardTest, ElementsAfterAUnitWordGetHalfBoxes) {
  for (const auto& [price, size] : {std::pair{"12.5", 4}, {"0.5", 9}}) {
    ShelfCard card = Card(4, price, {{kRowTop, "100"}, {kRowHeight, "4"}});
    card.texts[0] = "Top";
    card.texts[4] = "Extra";
    card.texts[7] = "Last";
    // clang-format off
    card.cells.insert(card.cells.end(), {{1, 2, 1, "8"}, {1, 3, 1, "255.5"}, {1, 5, 1, "x"}, {1, 6, 1, " Courier "},
                                         {5, 1, 1, "2000"}, {5, 2, 1, "8"}, {5, 4, 1, "i"},
                                         {8, 1, 1, "3000"}, {8, 2, 1, "8"}});
    // clang-format on
    RecordingSurface surface;
    PrintShelfCardElements(surface, test::MakeShelfRecord(card), 1);
    const auto p = Printed(surface);
    ASSERT_GE(p.size(), 3u) << price;
    EXPECT_EQ(p.front().font, (RecordedFont{"Courier", 9, true, false, false, false, 256}));
    EXPECT_EQ(p[p.size() - 2].font, (RecordedFont{"Courier", double(size), false, true})) << price;
    EXPECT_EQ(p.back().text, "Last");
    EXPECT_EQ(p.back().font.size, size) << price;
  }
}

// One run of the shelf-card job: one document per card on the layout's paper; the first
// card's paper source picks the bin ("C": the cassette, 267 unless set), and the printer's
// own bin is remembered. An unknown layout fails before anything else; a failed print
// skips its step, and the run goes on and reports it.
TEST(ShelfCardsRunTest, OneDocumentPerCardWithPaperAndBins) {
  const struct {
    const char *code, *source, *cassette;
    int exitCode, bin, paperSize, orientation;
    bool failDraw = false;
    std::vector<std::string> printed = {"Apples", "Pears"};
  } cases[] = {
      {"S1", "", nullptr, 0, 7, kPaperA5, kLandscape},
      {"S3", " C ", "260", 0, 260, kPaperUser, kPortrait},
      {"S1", "", nullptr, kExitFailed, 7, kPaperA5, kLandscape, true, {"Pears"}},
      {"S4", "", nullptr, kExitFailed, 15, 0, 0, false, {}},
      {"S", "", nullptr, kExitFailed, 15, 0, 0, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    test::DataFolder rig;
    if (c.cassette) rig.settings.Save(kPrinterSection, "Cassett", c.cassette);
    rig.surface.SetPaperBin(15);
    if (c.failDraw) rig.surface.FailNextDraw();
    const int number = c.code[1] ? c.code[1] - '0' : 0, z = std::clamp(number, 1, 3);
    std::vector<ShelfCard> cards;
    for (const char* name : {"Apples", "Pears"}) {
      cards.push_back(Card(1, name, {{kRowTop, "100"}, {kRowHeight, "8"}}, z));
      cards.back().cells.push_back(
          {kPaperSourceX, kPaperSourceY, z, cards.size() == 1 ? c.source : "C"});
    }
    test::WriteFile(rig.ShelfPrint(), test::ShelfBytes(cards));
    RunContext& context = rig.run;
    context.state.ShelfLayoutCode = c.code;
    context.state.ShelfLayoutNumber = std::int16_t(number);
    context.state.ShelfPaperSize = z == 3 ? kPaperUser : kPaperA5;
    EXPECT_EQ(rig.Ends([](RunContext& run) { PrintShelfCards(run); }).value_or(0), c.exitCode);
    std::vector<std::string> printed;
    for (const RecordedOp& op : Printed(rig.surface))
      printed.push_back(op.text);
    EXPECT_EQ(printed, c.printed);
    if (c.printed.empty()) {
      EXPECT_TRUE(rig.surface.Ops().empty());
      EXPECT_EQ(rig.settings.GetOr(kPrinterSection, "Cassett", "-"), "-") << "refused first";
      continue;
    }
    EXPECT_EQ(std::tuple(rig.surface.EndedDocuments(), rig.surface.PaperBin(),
                         rig.surface.LastPaperSize(), rig.surface.LastOrientation()),
              std::tuple(2, c.bin, c.paperSize, c.orientation));
    EXPECT_EQ(std::tuple(rig.settings.GetOr(kPrinterSection, "Cassett", ""),
                         rig.settings.GetOr(kPrinterSection, "RearPaperTray", ""),
                         rig.settings.GetOr(kPrinterSection, "LastDefaultPaperBin", "")),
              std::tuple(c.cassette ? c.cassette : "267", "7", "15"));
  }
}

}  // namespace
}  // namespace corvel
