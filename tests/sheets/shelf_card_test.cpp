// Shelf cards on a recording surface (10 twips wide and 24 high per point and
// character; page 8640 x 5760 unless a case sets another).
#include <gtest/gtest.h>

#include <QFile>
#include <cmath>
#include <optional>

#include "runner/jobs.h"
#include "runner/shelf_card_elements.h"
#include "tests/sheets/sheet_test_support.h"

namespace corvel {
namespace {

using test::ShelfCard;
using Cell = ShelfCard::Cell;

// The texts actually put on paper (empty prints left out).
std::vector<RecordedOp> Printed(const RecordingSurface& surface) {
  std::vector<RecordedOp> out;
  for (const RecordedOp& op : surface.Texts())
    if (!op.text.empty()) out.push_back(op);
  return out;
}

std::vector<std::string> PrintedTexts(const RecordingSurface& surface) {
  std::vector<std::string> out;
  for (const RecordedOp& op : Printed(surface))
    out.push_back(op.text);
  return out;
}

// A card with one element's text and cells in layout `z`.
ShelfCard OneElement(int element, const std::string& text, std::vector<Cell> cells, int z = 1) {
  ShelfCard card;
  card.texts.assign(9, "");
  card.texts[element - 1] = text;
  for (Cell& cell : cells) {
    cell.x = element;
    cell.z = z;
    card.cells.push_back(cell);
  }
  return card;
}

Cell Left(const std::string& v) {
  return {0, 0, 0, v};
}
Cell Top(const std::string& v) {
  return {0, 1, 0, v};
}
Cell Height(const std::string& v) {
  return {0, 2, 0, v};
}

TEST(ShelfPriceTextTest, Forms) {
  const struct {
    const char* price;
    const char* printed;
  } cases[] = {
      {"12.5", "$12.50"}, {"1", "$1.00"},   {"1234.567", "$1234.57"}, {"0.5", "50c"},
      {"0.75", "75c"},    {"0.29", "29c"},  {"0.999", "99.9c"},       {"-2", "-200c"},
      {"0", "0"},         {"0.00", "0.00"}, {"Special", "Special"},   {"$3.40", "$3.40"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.price);
    EXPECT_EQ(ShelfPriceText(c.price), c.printed);
  }
}

struct PriceCase {
  const char* name;
  const char* price;
  std::int16_t byWeight;
  std::vector<std::string> printed;
};

TEST(ShelfCardTest, PriceAndUnitWord) {
  const PriceCase cases[] = {
      {"dollars, by the piece", "12.5", 0, {"$12.50", "ea"}},
      {"dollars, by weight", "12.5", -1, {"$12.50", "Kg"}},
      {"ByWeight 1 is not by weight", "12.5", 1, {"$12.50", "ea"}},
      {"cents whose rest reads as 0: no unit word", "0.5", 0, {"50c"}},
      {"cents with a unit word", "0.75", -1, {"75c", "Kg"}},
      {"0.00 hides the price", "0.00", -1, {}},
      {"0 prints without a unit word", "0", 0, {"0"}},
      {"a price the suite formatted itself", "$3.40", 0, {"$3.40", "ea"}},
      {"text", "Special", 0, {"Special"}},
  };
  for (const PriceCase& c : cases) {
    SCOPED_TRACE(c.name);
    ShelfCard card = OneElement(4, c.price, {Left("1000"), Top("500"), Height("4")});
    card.byWeight = c.byWeight;
    RecordingSurface surface;
    PrintShelfCardElements(surface, test::MakeShelfRecord(card), 1);
    EXPECT_EQ(PrintedTexts(surface), c.printed);
  }
}

// Box 4 x 30 = 120 fits size 4 (96 high). The price starts half the unit word's width
// (" ea" at size 2: 60) left of Left; the unit word follows at half size with its
// bottom on the price's bottom (500 + 96).
TEST(ShelfCardTest, UnitWordSitsOnThePriceBottom) {
  RecordingSurface surface;
  PrintShelfCardElements(
      surface,
      test::MakeShelfRecord(OneElement(4, "12.5", {Left("1000"), Top("500"), Height("4")})), 1);
  const auto printed = Printed(surface);
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(printed[0].x, 970);
  EXPECT_EQ(printed[0].y, 500);
  EXPECT_EQ(printed[0].font.size, 4);
  EXPECT_FALSE(printed[0].lineEnd);
  EXPECT_EQ(printed[1].x, 970 + 6 * 40);
  EXPECT_EQ(printed[1].y, 596 - 48);
  EXPECT_EQ(printed[1].font.size, 2);
}

TEST(ShelfCardTest, PriceShiftForTheUnitWordStopsAtTheLeftEdge) {
  RecordingSurface surface;
  // Left 10 less half of " ea" (30) would be negative: the price starts at 0.
  PrintShelfCardElements(
      surface, test::MakeShelfRecord(OneElement(4, "12.5", {Left("10"), Height("4")})), 1);
  const auto printed = Printed(surface);
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(printed[0].x, 0);
  EXPECT_EQ(printed[1].x, 6 * 40);
}

struct PlacementCase {
  const char* name;
  int z;
  double pageWidth, pageHeight;
  ShelfCard card;
  std::vector<std::string> texts;
  std::vector<double> xs, ys, sizes;
};

TEST(ShelfCardTest, DescriptionLinesAndPlacement) {
  const std::vector<Cell> box = {Top("1000"), Height("8")};
  const PlacementCase cases[] = {
      // Split at the first space; each line's box is halved (120: size 4); the second
      // line is centred with a hyphen's room: 4320 - 12 x 40 / 2.
      {"layout 2 splits",
       2,
       8640,
       5760,
       OneElement(3, "Fresh Bread Rolls", box, 2),
       {"Fresh", "Bread Rolls"},
       {4320 - 120, 4080},
       {1000, 1096},
       {4, 4}},
      {"layout 3 splits",
       3,
       8640,
       5760,
       OneElement(3, "Fresh Bread Rolls", box, 3),
       {"Fresh", "Bread Rolls"},
       {4320 - 120, 4080},
       {1000, 1096},
       {4, 4}},
      // Layout 1 keeps one line in the whole box (240: size 9), centred: 18 x 90 / 2.
      {"layout 1 never splits",
       1,
       8640,
       5760,
       OneElement(3, "Fresh Bread Rolls", box, 1),
       {"Fresh Bread Rolls"},
       {4320 - 810},
       {1000},
       {9}},
      // No space: only the second line, at double size and half a line (48) lower.
      {"no space: second line only",
       2,
       8640,
       5760,
       OneElement(3, "Baguette", box, 2),
       {"Baguette"},
       {4320 - 9 * 80 / 2},
       {1048},
       {8}},
      // A page under 2000 high: no split, box halved.
      {"small page: no split, half box",
       2,
       8640,
       1800,
       OneElement(3, "Fresh Bread Rolls", {Top("100"), Height("8")}, 2),
       {"Fresh Bread Rolls"},
       {4320 - 18 * 40 / 2},
       {100},
       {4}},
      {"small page halves every box",
       1,
       8640,
       1800,
       OneElement(1, "Hello", {Top("100"), Height("8")}),
       {"Hello"},
       {4320 - 6 * 40 / 2},
       {100},
       {4}},
      {"empty Left centres",
       1,
       8640,
       5760,
       OneElement(1, "Hello", box),
       {"Hello"},
       {4320 - 270},
       {1000},
       {9}},
      {"blank Left centres",
       1,
       8640,
       5760,
       OneElement(1, "Hello", {Left("   "), Top("1000"), Height("8")}),
       {"Hello"},
       {4320 - 270},
       {1000},
       {9}},
      {"Left within 0.9 W",
       1,
       8640,
       5760,
       OneElement(1, "Hello", {Left("7300"), Top("1000"), Height("8")}),
       {"Hello"},
       {7300},
       {1000},
       {9}},
      // 450 + 7400 > 7776: the cursor stays where it was (1234, set by the test).
      {"Left beyond 0.9 W",
       1,
       8640,
       5760,
       OneElement(1, "Hello", {Left("7400"), Top("1000"), Height("8")}),
       {"Hello"},
       {1234},
       {1000},
       {9}},
      // Too wide for 0.95 W at size 9 (30 x 90 = 2700 > 0.95 x 2400): shrunk to 7 and
      // moved down by 30 x 2 / 2.
      {"shrunk to the width",
       1,
       2400,
       5760,
       OneElement(1, std::string(30, 'W'), box),
       {std::string(30, 'W')},
       {std::floor(1200 - 31 * 70 / 2.0)},
       {1030},
       {7}},
      // Bottom clamp: 216 + 5600 >= 0.975 x 5760, so the top goes to 5616 - 216; the
      // text's bottom is then below 0.9527 x PH and it is not printed.
      {"clamped to the bottom and dropped",
       1,
       8640,
       5760,
       OneElement(1, "Hello", {Top("5600"), Height("8")}),
       {},
       {},
       {},
       {}},
      {"zero height prints nothing",
       1,
       8640,
       5760,
       OneElement(1, "Hello", {Top("100"), Height("0")}),
       {},
       {},
       {},
       {}},
      {"unreadable height prints nothing",
       1,
       8640,
       5760,
       OneElement(1, "Hello", {Top("100"), Height("abc")}),
       {},
       {},
       {},
       {}},
      // A box taller than any font: the size search stops below the largest size.
      {"huge box is bounded",
       1,
       200000,
       200000,
       OneElement(1, "Hello", {Left("0"), Top("0"), Height("5000")}),
       {"Hello"},
       {0},
       {0},
       {PrintSurface::kLargestFontSize - 1}},
  };
  for (const PlacementCase& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingSurface surface(c.pageWidth, c.pageHeight);
    surface.SetCurrentX(1234);
    const ShelfCardOutcome outcome =
        PrintShelfCardElements(surface, test::MakeShelfRecord(c.card), std::int16_t(c.z));
    EXPECT_FALSE(outcome.reachedSecondPage);
    EXPECT_FALSE(outcome.printFailed);
    const auto printed = Printed(surface);
    ASSERT_EQ(printed.size(), c.texts.size());
    for (std::size_t i = 0; i < printed.size(); ++i) {
      SCOPED_TRACE(c.texts[i]);
      EXPECT_EQ(printed[i].text, c.texts[i]);
      EXPECT_DOUBLE_EQ(printed[i].x, c.xs[i]);
      EXPECT_DOUBLE_EQ(printed[i].y, c.ys[i]);
      EXPECT_EQ(printed[i].font.size, c.sizes[i]);
    }
  }
}

struct HalvingCase {
  const char* name;
  const char* price;
  double extraSize;  // size of element 5
};

// A unit word left in the second line halves the boxes of the elements after the
// price (box 240: size 9; halved 120: size 4).
TEST(ShelfCardTest, ElementsAfterAUnitWordGetHalfBoxes) {
  const HalvingCase cases[] = {
      {"unit word", "12.5", 4},
      {"no unit word (cents)", "0.5", 9},
      {"hidden price", "0.00", 9},
  };
  for (const HalvingCase& c : cases) {
    SCOPED_TRACE(c.name);
    ShelfCard card = OneElement(4, c.price, {Top("100"), Height("4")});
    card.texts[4] = "Extra";
    card.texts[7] = "Last";
    card.cells.push_back({5, 1, 1, "2000"});
    card.cells.push_back({5, 2, 1, "8"});
    card.cells.push_back({8, 1, 1, "3000"});
    card.cells.push_back({8, 2, 1, "8"});
    RecordingSurface surface;
    PrintShelfCardElements(surface, test::MakeShelfRecord(card), 1);
    const auto extra = test::TextsEqual(surface, "Extra");
    const auto last = test::TextsEqual(surface, "Last");
    ASSERT_EQ(extra.size(), 1u);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(extra[0].font.size, c.extraSize);
    EXPECT_EQ(last[0].font.size, c.extraSize);
  }
}

TEST(ShelfCardTest, FontAndColourCells) {
  ShelfCard card = OneElement(1, "Hello",
                              {Top("100"),
                               Height("8"),
                               {0, 3, 0, "255.5"},
                               {0, 5, 0, "x"},
                               {0, 6, 0, " Courier "},
                               {0, 7, 0, "y"}});
  card.texts[1] = "World";
  card.cells.push_back({2, 1, 1, "500"});
  card.cells.push_back({2, 2, 1, "8"});
  card.cells.push_back({2, 4, 1, "i"});
  RecordingSurface surface;
  PrintShelfCardElements(surface, test::MakeShelfRecord(card), 1);
  const auto printed = Printed(surface);
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(printed[0].font.colour, 256) << "255.5 rounds half to even";
  EXPECT_EQ(printed[0].font.name, "Courier");
  EXPECT_TRUE(printed[0].font.bold);
  EXPECT_TRUE(printed[0].font.underline);
  EXPECT_FALSE(printed[0].font.italic);
  // Element 2: no colour (black), the name carries over, flags follow its own cells.
  EXPECT_EQ(printed[1].font.colour, 0);
  EXPECT_EQ(printed[1].font.name, "Courier");
  EXPECT_FALSE(printed[1].font.bold);
  EXPECT_FALSE(printed[1].font.underline);
  EXPECT_TRUE(printed[1].font.italic);
}

// Moves to a new page when a text would run past the bottom, as a printer does.
class PagingSurface : public RecordingSurface {
 public:
  using RecordingSurface::RecordingSurface;
  void Print(std::string_view text, bool lineEnd) override {
    if (CurrentY() + TextHeight(text) > PageHeight()) NewPage();
    RecordingSurface::Print(text, lineEnd);
  }
};

// The description's first line is printed without a bottom check: with a negative
// element-5 height its box moves below the page.
ShelfCard OverflowingCard(const std::string& name) {
  ShelfCard card = OneElement(3, name, {Top("3000"), Height("100")});
  card.texts[3] = "12.5";
  card.cells.push_back({5, 2, 1, "-100"});
  card.cells.push_back({4, 1, 1, "100"});
  card.cells.push_back({4, 2, 1, "4"});
  return card;
}

TEST(ShelfCardTest, CardReachingASecondPageStopsBeforeItsNextElement) {
  PagingSurface surface;
  const ShelfCardOutcome outcome =
      PrintShelfCardElements(surface, test::MakeShelfRecord(OverflowingCard("Hello")), 1);
  EXPECT_TRUE(outcome.reachedSecondPage);
  EXPECT_EQ(PrintedTexts(surface), std::vector<std::string>{"Hello"}) << "no price after it";
}

// The whole run: settings, files, paper and one document per card.
struct RunRig : test::JobRig {
  std::optional<int> Run(const char* code) {
    run.state.ShelfLayoutCode = code;
    run.state.ShelfLayoutNumber = std::int16_t(code[1] ? code[1] - '0' : 0);
    run.state.ShelfPaperSize = std::string(code) == "S3" ? kPaperUser : kPaperA5;
    try {
      PrintShelfCards(run);
      return 0;
    } catch (const EndRun& end) {
      return end.exitCode;
    }
  }
  std::string Setting(const char* key) { return settings.GetOr("Printer", key, "(absent)"); }
};

TEST(ShelfCardsRunTest, OneDocumentPerCardWithPaperAndBins) {
  const struct {
    const char* code;
    const char* paperSource;
    const char* cassette;
    int bin;
    int paperSize;
    int orientation;
  } cases[] = {
      {"S1", "", nullptr, 7, kPaperA5, kLandscape},
      {"S2", " C ", nullptr, 267, kPaperA5, kPortrait},
      {"S3", "C", "260", 260, kPaperUser, kPortrait},
      {"S3", "c", nullptr, 7, kPaperUser, kPortrait},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.code) + " source '" + c.paperSource + "'");
    RunRig rig;
    if (c.cassette) rig.settings.Save("Printer", "Cassett", c.cassette);
    rig.surface.SetPaperBin(15);
    const int z = c.code[1] - '0';
    std::vector<ShelfCard> cards;
    for (const char* name : {"Apples", "Pears", "Plums"}) {
      ShelfCard card = OneElement(1, name, {Top("100"), Height("8")}, z);
      card.cells.push_back({9, 3, z, cards.empty() ? c.paperSource : "C"});
      cards.push_back(card);
    }
    test::WriteShelfRecords(rig.folder, cards);
    EXPECT_EQ(rig.Run(c.code), 0);
    EXPECT_EQ(rig.surface.EndedDocuments(), 3);
    EXPECT_EQ(PrintedTexts(rig.surface), (std::vector<std::string>{"Apples", "Pears", "Plums"}));
    EXPECT_EQ(Printed(rig.surface)[2].document, 3);
    EXPECT_EQ(rig.surface.PaperBin(), c.bin) << "only the first card's paper source counts";
    EXPECT_EQ(rig.surface.LastPaperSize(), c.paperSize);
    EXPECT_EQ(rig.surface.LastOrientation(), c.orientation);
    EXPECT_EQ(rig.Setting("Cassett"), c.cassette ? c.cassette : "267");
    EXPECT_EQ(rig.Setting("RearPaperTray"), "7");
    EXPECT_EQ(rig.Setting("LastDefaultPaperBin"), "15");
  }
}

TEST(ShelfCardsRunTest, LayoutOutsideOneToThreeEndsBeforePrinting) {
  for (const char* code : {"S", "S0", "S4", "S9"}) {
    SCOPED_TRACE(code);
    RunRig rig;
    test::WriteShelfRecords(rig.folder, {OneElement(1, "Apples", {Top("100"), Height("8")})});
    const auto exit = rig.Run(code);
    ASSERT_TRUE(exit.has_value());
    EXPECT_NE(*exit, 0);
    EXPECT_TRUE(rig.surface.Ops().empty());
    EXPECT_EQ(rig.Setting("Cassett"), "(absent)");
  }
}

TEST(ShelfCardsRunTest, SecondPageEndsTheRunAfterSendingWhatWasPrinted) {
  test::JobRig base;
  PagingSurface surface;
  RunContext run{base.settings, surface, base.messages, {}, {}};
  run.state.ShelfLayoutNumber = 1;
  run.state.ShelfLayoutCode = "S1";
  test::WriteShelfRecords(base.folder, {OverflowingCard("First"), OverflowingCard("Second")});
  try {
    PrintShelfCards(run);
    ADD_FAILURE() << "the run went on";
  } catch (const EndRun& end) {
    EXPECT_NE(end.exitCode, 0);
  }
  EXPECT_EQ(PrintedTexts(surface), std::vector<std::string>{"First"});
  EXPECT_EQ(surface.EndedDocuments(), 1);
}

TEST(ShelfCardsRunTest, FailedPrintSkipsTheStepAndIsReported) {
  RunRig rig;
  ShelfCard card = OneElement(1, "Apples", {Top("100"), Height("8")});
  card.texts[1] = "Pears";
  card.cells.push_back({2, 1, 1, "600"});
  card.cells.push_back({2, 2, 1, "8"});
  test::WriteShelfRecords(rig.folder, {card, card});
  rig.surface.FailNextDraw();
  EXPECT_NE(rig.Run("S1"), 0);
  // The first text failed; the card went on with the second, and so did the run.
  EXPECT_EQ(PrintedTexts(rig.surface), (std::vector<std::string>{"Pears", "Apples", "Pears"}));
}

TEST(ShelfCardsRunTest, NoCardsPrintsNothing) {
  RunRig rig;
  EXPECT_EQ(rig.Run("S2"), 0);
  EXPECT_TRUE(rig.surface.Ops().empty());
  EXPECT_TRUE(QFile::exists(rig.folder + "/ShelfPrint"));
}

}  // namespace
}  // namespace corvel
