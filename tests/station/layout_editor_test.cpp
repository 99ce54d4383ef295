// The layout editor: its snapping and sizing rules, where it finds each element, and the
// real station window's preview driven with the mouse and keys, saving into a real
// settings file.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <set>
#include <utility>

#include "common/ini_settings_store.h"
#include "common/settings_sections.h"
#include "common/units.h"
#include "platform/printing.h"
#include "station/layout_editor.h"
#include "station/station_window.h"
#include "tests/faults/fault_support.h"
#include "tests/station/preview_compare.h"
#include "tests/station/station_test_support.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

const LayoutElement& Element(int index) {
  return LayoutElements()[static_cast<std::size_t>(index)];
}
constexpr int kPrice = 8;

long Dot(double twips, double dpi) {
  return std::lround(DotsFromTwips(twips, dpi));
}

LabelLayout LayoutWith(std::initializer_list<std::pair<const char*, const char*>> values) {
  MemorySettingsStore store;
  for (const auto& [key, text] : values)
    store.Save(kStationSection, key, text);
  return LoadLabelLayout(store);
}

const PlacedElement* Placed(const LabelPlan& plan, int element) {
  for (const PlacedElement& placed : plan.placed)
    if (placed.element == element) return &placed;
  return nullptr;
}

// A move lands on a printer dot (whole twips without a resolution) and moves the dot the
// printer prints by exactly the dots asked for.
TEST(LayoutEdit, MovesSnapToThePrintersDots) {
  struct Row {
    double twips, dpi;
    int dots;
  };
  const Row rows[] = {{2825, 203, 1}, {2825, 203, -1}, {2825, 203, 10},  {0, 203, 1},
                      {-50, 203, -1}, {1180, 300, 1},  {1180, 600, -10}, {2825, 0, 1},
                      {2825.4, 0, 0}, {-0.6, 0, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.twips) + " at " + std::to_string(row.dpi));
    const double snapped = SnapToDots(row.twips, row.dpi, row.dots);
    EXPECT_EQ(snapped, std::round(snapped));
    if (row.dpi == 0) {
      EXPECT_EQ(snapped, std::round(row.twips) + row.dots);
      continue;
    }
    EXPECT_EQ(Dot(snapped, row.dpi), Dot(row.twips, row.dpi) + row.dots);
  }
  // A drag changes only the axis it moved along, and never leaves the 16-bit range.
  const LabelLayout layout = LayoutWith({{"PriceTop", "32760"}});
  const KeyValues across = MovedBy(Element(kPrice), layout, 30, 0, 0);
  ASSERT_EQ(across.size(), 1u);
  EXPECT_EQ(across[0], (std::pair<std::string, double>{"Pricecenter", 2855}));
  const KeyValues down = MovedByDots(Element(kPrice), layout, 0, 10, 203);
  EXPECT_EQ(down, (KeyValues{{"PriceTop", 32767}}));
}

TEST(LayoutEdit, SizesStayWithinWhatTheLabelTakes) {
  struct Row {
    int element;
    const char* key;
    const char* stored;
    int steps;
    bool height;
    double dpi;
    double expected;
  };
  const Row rows[] = {
      {kPrice, "PriceSize", "10", 1, false, 0, 11},
      {kPrice, "PriceSize", "1", -1, false, 203, 1},
      {kPrice, "PriceSize", "1638", 2, false, 0, 1638},
      {11, "BarcodeFontSize", "8.5", 1, false, 0, 10},
      // 25 twips are 4 dots at 203 dpi; 5 dots are 35.5 twips.
      {kSymbolElement, "BarcodeWidth", "25", 1, false, 203, 35},
      {kSymbolElement, "BarcodeWidth", "7", -3, false, 203, 7},
      {kSymbolElement, "BarcodeWidth", "25", -1, false, 0, 24},
      {kSymbolElement, "BarcodeWidth", "1", -1, false, 0, 1},
      // 450 twips are 63 dots; ten more are 518 twips.
      {kSymbolElement, "BarcodeHeight", "450", 1, true, 203, 518},
      {kSymbolElement, "BarcodeHeight", "450", -1, true, 0, 440},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.key) + " " + row.stored + " by " + std::to_string(row.steps));
    const KeyValues values = ResizedBy(Element(row.element), LayoutWith({{row.key, row.stored}}),
                                       row.steps, row.height, row.dpi);
    EXPECT_EQ(values, (KeyValues{{row.key, row.expected}}));
  }
}

// A change keeps the texts it replaced: undone, a key holds its old text again (even one
// that is no plain number) or is absent again; redone, the new texts are back.
TEST(LayoutEdit, AChangeUndoesToTheTextsStored) {
  MemorySettingsStore store;
  store.Save(kStationSection, "PriceTop", "1180 twips");
  const LayoutChange reset = RecordLayoutChange(
      store, [&] { SaveLabelLayout(store, LayoutValues(LayoutSet::Default4x29)); });
  EXPECT_EQ(reset.size(), 40u);
  ReplayLayoutChange(store, reset, true);
  EXPECT_EQ(store.Keys(kStationSection), std::vector<std::string>{"PriceTop"});
  EXPECT_EQ(store.Get(kStationSection, "PriceTop"), "1180 twips");
  ReplayLayoutChange(store, reset, false);
  EXPECT_EQ(store.Keys(kStationSection).size(), 40u);
  // A value already stored as that text is no change.
  EXPECT_TRUE(SaveLayoutValues(store, {{"PriceTop", 320}}).empty());
  EXPECT_EQ(SaveLayoutValues(store, {{"PriceTop", 327}}).size(), 1u);
}

// Every element of a full label is found where its keys put it, and a place the label
// cannot take is named: outside the label, or in the symbol's quiet zone.
TEST(LayoutEdit, FindsEachElementAndWhatIsWrongWithIt) {
  const FixedClock clock(MakeLocalTime(2026, 12, 6, 9));
  MemorySettingsStore store;
  LabelBoxes boxes = test::HamBoxes("3");
  boxes.description2 = "Off the bone";
  const LabelPlan plan = PlanLabel(boxes, store, clock, 60, 40);
  EXPECT_TRUE(store.Keys(kStationSection).empty()) << "planning writes nothing";
  ASSERT_EQ(plan.placed.size(), LayoutElements().size());
  for (int e = 0; e <= kSymbolElement; ++e) {
    const PlacedElement* placed = Placed(plan, e);
    ASSERT_TRUE(placed) << Element(e).name;
    EXPECT_EQ(placed->top, LayoutValueOf(plan.layout, Element(e).top)) << Element(e).name;
    EXPECT_EQ(placed->problem, "") << Element(e).name;
    // The empty third line is not on this label, but can be placed all the same.
    EXPECT_EQ(placed->shown, e != 4) << Element(e).name;
  }
  // A non-weighed item without a code: no weight, price per kg or symbol printed.
  LabelBoxes bare = boxes;
  bare.code = "0";
  bare.nonWeighed = true;
  std::set<int> left;
  for (const PlacedElement& placed : PlanLabel(bare, store, clock, 60, 40).placed)
    if (!placed.shown) left.insert(placed.element);
  EXPECT_EQ(left, (std::set<int>{4, 7, 9, 11, kSymbolElement}));
  EXPECT_EQ(Placed(plan, 10)->left, plan.layout.ProductIdcenter);
  EXPECT_EQ(Placed(plan, 7)->right, plan.layout.WeightCenter);
  ASSERT_EQ(plan.quietZones.size(), 1u);
  const PlacedElement symbol = *Placed(plan, kSymbolElement);

  struct Row {
    std::string key, value;
    int wrong;
    const char* says;
  };
  const std::string besideBars = std::to_string(std::lround(symbol.right + 60));
  const std::string inBars = std::to_string(std::lround(symbol.top + 40));
  const Row rows[] = {
      {"Pricecenter", "5000", kPrice, "Price reaches outside the label"},
      {"StoreTop1", "-200", 0, "Store name line 1 reaches outside the label"},
      {"BarcodeTop", "2200", kSymbolElement, "Symbol reaches outside the label"},
      {"ProductIdcenter", besideBars, kSymbolElement, "text \"#1\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.key + "=" + row.value);
    MemorySettingsStore moved;
    moved.Save(kStationSection, row.key, row.value);
    if (row.key == "ProductIdcenter") moved.Save(kStationSection, "ProductIdTop", inBars);
    const LabelPlan wrong = PlanLabel(boxes, moved, clock, 60, 40);
    for (const PlacedElement& placed : wrong.placed) {
      if (placed.element == row.wrong)
        EXPECT_NE(placed.problem.find(row.says), std::string::npos) << placed.problem;
      else
        EXPECT_EQ(placed.problem, "") << Element(placed.element).name;
    }
  }
}

// The station as the owner uses it, its settings in a real file.
class LayoutEditorTest : public ::testing::Test {
 protected:
  std::unique_ptr<StationWindow> Open(double dpi = 0) {
    auto w = test::OpenStation(store_, messages_, folder_, pdfFolder_, dpi);
    test::TypeLegHam(*w);
    QTest::keyClick(w->Text2, Qt::Key_L, Qt::ControlModifier);
    return w;
  }

  // Edit mode switched on with Ctrl+E, once the label's elements are found.
  LayoutEditor& Edit(StationWindow& w) {
    QTest::keyClick(w.Text2, Qt::Key_E, Qt::ControlModifier);
    LayoutEditor& editor = *w.Preview->Editor();
    EXPECT_TRUE(editor.Editing());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !w.Preview->Raster().isNull() && Placed(editor.Plan(), kSymbolElement); }));
    return editor;
  }

  QPoint Centre(const LayoutEditor& editor, int element) {
    const PlacedElement& placed = *Placed(editor.Plan(), element);
    return editor.PixelOf((placed.left + placed.right) / 2, (placed.top + placed.bottom) / 2)
        .toPoint();
  }

  RecordBytes File() { return test::ReadAllBytes(iniPath_); }
  // The lines of the settings file that are not in `before`.
  std::set<std::string> NewLines(const RecordBytes& before) {
    const auto lines = [](const RecordBytes& bytes) {
      std::set<std::string> all;
      std::string line;
      for (const std::uint8_t byte : bytes) {
        if (byte == '\n')
          all.insert(std::exchange(line, {}));
        else
          line += static_cast<char>(byte);
      }
      return all;
    };
    const std::set<std::string> old = lines(before);
    std::set<std::string> added;
    for (const std::string& line : lines(File()))
      if (!old.contains(line)) added.insert(line);
    return added;
  }

  QString folder_ = test::MakeTempFolder(), pdfFolder_ = test::MakeTempFolder();
  QString iniPath_ = folder_ + "/Corvel.ini";
  IniSettingsStore store_{iniPath_.toStdString()};
  test::FakeMessages messages_;
};

// Outside edit mode a drag does nothing; in it, a drag moves the one element by the twips
// the pointer went, saves its two keys and nothing else, undoes to the same bytes, and
// the next printed label is the label previewed.
TEST_F(LayoutEditorTest, DragMovesOneElementAndSavesOnlyItsKeys) {
  auto w = Open();
  ASSERT_TRUE(test::WaitUntil([&] { return !w->Preview->Raster().isNull(); }));
  QWidget* canvas = w->Preview->findChild<QWidget*>("PreviewCanvas");
  const RecordBytes before = File();
  QTest::mousePress(canvas, Qt::LeftButton, {}, canvas->rect().center());
  QTest::mouseMove(canvas, canvas->rect().center() + QPoint(10, 10));
  QTest::mouseRelease(canvas, Qt::LeftButton, {}, canvas->rect().center() + QPoint(10, 10));
  EXPECT_EQ(File(), before);

  LayoutEditor& editor = Edit(*w);
  EXPECT_TRUE(w->Preview->windowTitle().contains("editing"));
  EXPECT_TRUE(editor.StatusText().startsWith("Editing the layout"));
  const LabelPlan old = editor.Plan();
  const int drawings = w->Preview->Drawings();
  const QPoint from = Centre(editor, kPrice), to = from + QPoint(15, 8);
  QTest::mousePress(&editor, Qt::LeftButton, {}, from);
  QTest::mouseMove(&editor, to);
  QTest::mouseRelease(&editor, Qt::LeftButton, {}, to);

  const double perPixel = kTwipsPerInch * editor.devicePixelRatioF() / w->Preview->RasterDpi();
  const long x = std::lround(old.layout.Pricecenter + 15 * perPixel);
  const long y = std::lround(old.layout.PriceTop + 8 * perPixel);
  const RecordBytes after = File();
  EXPECT_EQ(NewLines(before), (std::set<std::string>{"PriceTop=" + std::to_string(y),
                                                     "Pricecenter=" + std::to_string(x)}));
  ASSERT_TRUE(test::WaitUntil(
      [&] { return w->Preview->Drawings() > drawings && editor.Plan().layout.PriceTop == y; }));
  for (const PlacedElement& placed : editor.Plan().placed) {
    const PlacedElement& was = *Placed(old, placed.element);
    const bool price = placed.element == kPrice;
    EXPECT_EQ(placed.left - was.left, price ? x - old.layout.Pricecenter : 0)
        << Element(placed.element).name;
    EXPECT_EQ(placed.top - was.top, price ? y - old.layout.PriceTop : 0);
  }

  QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(File(), before);
  QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(File(), after);

  ASSERT_TRUE(test::WaitUntil([&] { return editor.Plan().layout.PriceTop == y; }));
  w->Command1->click();
  const QStringList pdfs = test::ListPdfFiles(pdfFolder_);
  ASSERT_EQ(pdfs.size(), 1);
  test::ExpectSameLabel(w->Preview->Raster(), w->Preview->RasterDpi(), pdfs[0]);
}

// At 203 dpi an arrow moves the chosen element one dot, Shift+arrow ten; + and the wheel
// make it a point larger; a reset from the list is undone like the rest, back to the same bytes.
TEST_F(LayoutEditorTest, KeysMoveByPrinterDotsAndEverythingUndoes) {
  auto w = Open(203);
  LayoutEditor& editor = Edit(*w);
  const RecordBytes before = File();
  const QPoint price = Centre(editor, kPrice);
  QTest::mouseClick(&editor, Qt::LeftButton, {}, price);
  EXPECT_EQ(editor.Selected(), kPrice);
  EXPECT_TRUE(editor.StatusText().startsWith("Price: top 1180, across 2825 twips, 10 pt"))
      << editor.StatusText().toStdString();
  EXPECT_EQ(File(), before) << "choosing changes nothing";

  QTest::keyClick(&editor, Qt::Key_Right);
  const auto stored = [&](const char* key) {
    return std::stod(store_.Get(kStationSection, key).value_or("nan"));
  };
  EXPECT_EQ(Dot(stored("Pricecenter"), 203), Dot(2825, 203) + 1);
  EXPECT_EQ(NewLines(before).size(), 1u);
  ASSERT_TRUE(
      test::WaitUntil([&] { return editor.Plan().layout.Pricecenter == stored("Pricecenter"); }));
  QTest::keyClick(&editor, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(Dot(stored("PriceTop"), 203), Dot(1180, 203) + 10);
  ASSERT_TRUE(test::WaitUntil([&] { return editor.Plan().layout.PriceTop == stored("PriceTop"); }));
  QTest::keyClick(&editor, Qt::Key_Plus);
  EXPECT_EQ(stored("PriceSize"), 11);
  ASSERT_TRUE(test::WaitUntil([&] { return editor.Plan().layout.PriceSize == 11; }));
  QWheelEvent wheel(Centre(editor, kPrice), editor.mapToGlobal(Centre(editor, kPrice)), {},
                    {0, 120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&editor, &wheel);
  EXPECT_EQ(stored("PriceSize"), 12);
  ASSERT_TRUE(test::WaitUntil([&] { return editor.Plan().layout.PriceSize == 12; }));

  messages_.answerYes = true;
  QListWidgetItem* reset = w->List1->item(1);
  // A double click: the first click, then the second that makes it double.
  const QPoint at = w->List1->visualItemRect(reset).center();
  QTest::mouseClick(w->List1->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(w->List1->viewport(), Qt::LeftButton, {}, at);
  ASSERT_EQ(messages_.questions.size(), 1u);
  EXPECT_EQ(stored("PriceSize"), 8);
  // The list kept the focus: the undo keys work all the same on the preview.
  for (int undo = 0; undo < 5; ++undo)
    QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(File(), before);
}

// Pushed off the label, the price is outlined in red and the status line says why.
TEST_F(LayoutEditorTest, AnElementOffTheLabelIsNamed) {
  auto w = Open();
  LayoutEditor& editor = Edit(*w);
  const QPoint price = Centre(editor, kPrice);
  QTest::mousePress(&editor, Qt::LeftButton, {}, price);
  QTest::mouseRelease(&editor, Qt::LeftButton, {}, price + QPoint(editor.width() / 2, 0));
  ASSERT_TRUE(test::WaitUntil([&] {
    return editor.StatusText() == QString("Price reaches outside the label");
  })) << editor.StatusText().toStdString();
  const QLabel* status = w->Preview->findChild<QLabel*>("LayoutStatus");
  EXPECT_TRUE(status->isVisible());
  EXPECT_TRUE(status->styleSheet().contains("#c01010"));
  QTest::keyClick(w->Text2, Qt::Key_E, Qt::ControlModifier);
  EXPECT_FALSE(editor.Editing());
  EXPECT_FALSE(status->isVisible());
}

}  // namespace
}  // namespace corvel
