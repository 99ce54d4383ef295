// Shelf cards on a recording surface (10 twips wide and 24 high per point and
// character; page 8640 x 5760).
#include <gtest/gtest.h>

#include <algorithm>

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

// The printed price ("0c" reads as 0, so 0.5 has no unit word), the unit word after a
// price that reads as a number from its second character, and the largest size a box
// of any height gets (where each element lands and fits: the next test).
TEST(ShelfCardFit, PriceTextsUnitWordsAndTheLargestSize) {
  using namespace shelf_card;
  // clang-format off
  for (const auto& [price, text, unit] : {std::tuple{"0.5", "50c", ""}, {"0.999", "99.9c", "ea"},
                                          {"0", "0", ""}, {"Special", "Special", ""}}) {
    // clang-format on
    EXPECT_EQ(ShelfPriceText(price), text);
    EXPECT_EQ(UnitWord(text, 0), unit) << text;
  }
  EXPECT_EQ(UnitWord("75c", -1), "Kg");
  RecordingSurface surface;
  const FontFit fit = FitToHeight(surface, "Hello", 1e9);
  EXPECT_EQ(std::pair(fit.size, fit.fits), std::pair(PrintSurface::kLargestFontSize - 1, true));
}

// Where each element lands; what does not reach the page whole is printed as far as it
// goes and reported by element (the first problem given), the others print as usual.
TEST(ShelfCardTest, ElementsArePlacedOrReported) {
  const struct {
    const char* name;
    ShelfCard card;  // its cells' layout is the one printed
    std::vector<Placed> printed;
    std::string problem = "";
  } cases[] = {
      // clang-format off
      // Box 45 fits size 1 only: half of it is refused, so " ea" is measured at size 1.
      {"unit word under a price of size 1", Card(4, "12.5", {{kRowLeft, "1000"}, {kRowTop, "500"}, {kRowHeight, "1.5"}}),
       {{"$12.50", 985, 500, 1}, {"ea", 1045, 500, 1}}},
      {"zero height: left out unreported", Card(1, "Hello", {{kRowTop, "100"}, {kRowHeight, "0"}}), {}},
      {"price far above the page", Card(4, "12.5", {{kRowTop, "-1e308"}, {kRowHeight, "4"}}), {},
       "element 4 (price) \"$12.50\" is cut at the top edge of the page"},
      {"clamped to the bottom, then too low to print", Card(1, "Hello", {{kRowTop, "5600"}, {kRowHeight, "8"}}), {},
       "element 1 \"Hello\" is left off: it would end below the lowest line of the page"},
      {"negative box", Card(1, "Hello", {{kRowTop, "100"}, {kRowHeight, "-4"}}), {},
       "element 1 \"Hello\" fits no font size in its box (Height \"-4\") and is left off"},
      {"top beyond any number", Card(1, "Hello", {{kRowTop, "1e999"}, {kRowHeight, "8"}}), {},
       "element 1 cell Top \"1e999\" is beyond any number"},
      {"colour beyond 32 bits", Card(1, "Hello", {{3, "1e12"}, {kRowTop, "100"}, {kRowHeight, "8"}}), {},
       "element 1 cell Colour \"1e12\" is no colour"},
      // Layouts 2 and 3 set the description on two lines, split at its first space.
      {"description on two lines", Card(3, "Granny Smith apples", {{kRowTop, "500"}, {kRowHeight, "8"}}, 2),
       {{"Granny", 4180, 500, 4}, {"Smith apples", 4060, 596, 4}}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingSurface surface;
    surface.SetCurrentX(1234);
    const ShelfCardOutcome outcome = PrintShelfCardElements(surface, test::MakeShelfRecord(c.card),
                                                            std::int16_t(c.card.cells.front().z));
    EXPECT_EQ(outcome.problems.empty() ? "" : outcome.problems.front(), c.problem);
    if (!c.problem.empty()) continue;
    std::vector<Placed> placed;
    for (const RecordedOp& op : Printed(surface))
      placed.emplace_back(op.text, op.x, op.y, op.font.size);
    EXPECT_EQ(placed, c.printed);
  }
}

// One run of the shelf-card job: one document per card on the layout's paper; the first
// card's paper source picks the bin ("C": the cassette, 267 unless set). An unknown layout
// fails before anything else; a failed print skips its step, and the run goes on and
// reports it.
TEST(ShelfCardsRunTest, OneDocumentPerCardWithPaperAndBins) {
  const struct {
    const char *code, *source, *cassette;
    int exitCode, documents, bin, paperSize, orientation;
    std::vector<std::string> printed = {"Apples", "Pears"};
    bool failDraw = false;
    int repeat = 1;  // the two cards, so many times
  } cases[] = {
      {"S1", "", nullptr, 0, 2, 7, kPaperA5, kLandscape},
      {"S3", " C ", "260", 0, 2, 260, kPaperUser, kPortrait},
      {"S1", "", nullptr, kExitFailed, 2, 7, kPaperA5, kLandscape, {"Pears"}, true},
      {"S4", "", nullptr, kExitFailed, 0, 15, 0, kPortrait, {}},
      // As many cards as the shelf table holds.
      {"S2", "", nullptr, 0, 500, 7, kPaperA5, kPortrait, {"Apples", "Pears"}, false, 250},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    test::DataFolder rig;
    if (c.cassette) rig.settings.Save(kPrinterSection, "Cassett", c.cassette);
    rig.surface.SetPaperBin(15);
    if (c.failDraw) rig.surface.FailNextDraw();
    const int number = c.code[1] - '0', z = std::min(number, 3);
    std::vector<ShelfCard> cards;
    std::vector<std::string> expected;
    for (int r = 0; r < c.repeat; ++r) {
      for (const char* name : {"Apples", "Pears"}) {
        cards.push_back(Card(1, name, {{kRowTop, "100"}, {kRowHeight, "8"}}, z));
        cards.back().cells.push_back(
            {kPaperSourceX, kPaperSourceY, z, cards.size() == 1 ? c.source : "C"});
      }
      expected.insert(expected.end(), c.printed.begin(), c.printed.end());
    }
    test::WriteFile(rig.ShelfPrint(), test::ShelfBytes(cards));
    rig.run.state.ShelfLayoutCode = c.code;
    rig.run.state.ShelfLayoutNumber = std::int16_t(number);
    rig.run.state.ShelfPaperSize = z == 3 ? kPaperUser : kPaperA5;
    EXPECT_EQ(rig.Ends([](RunContext& run) { PrintShelfCards(run); }).value_or(0), c.exitCode);
    std::vector<std::string> printed;
    for (const RecordedOp& op : Printed(rig.surface))
      printed.push_back(op.text);
    EXPECT_EQ(std::tuple(printed, rig.surface.EndedDocuments(), rig.surface.PaperBin(),
                         rig.surface.LastPaperSize(), rig.surface.LastOrientation()),
              std::tuple(expected, c.documents, c.bin, c.paperSize, c.orientation));
  }
}

}  // namespace
}  // namespace corvel
