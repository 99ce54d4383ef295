// The real station window on the offscreen platform, driven as an operator drives it:
// focus moves with Tab, typing, clicks and double clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

#include "common/errors.h"
#include "common/recording_surface.h"
#include "station/station_window.h"
#include "tests/station/station_test_support.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using test::ReadAllBytes;

class StationWindowTest : public ::testing::Test {
 protected:
  std::unique_ptr<StationWindow> Open() {
    auto window =
        std::make_unique<StationWindow>(StationServices{store, messages, clock, PrinterTarget{},
                                                        [this] {
                                                          auto made =
                                                              std::make_unique<RecordingSurface>();
                                                          surface = made.get();
                                                          if (failPrinting) made->FailNextDraw();
                                                          return made;
                                                        },
                                                        productPath.toStdString()});
    window->show();
    QApplication::setActiveWindow(window.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return window;
  }

  std::unique_ptr<StationWindow> OpenWith(int products) {
    test::WriteAllBytes(productPath, test::ProductFileBytes(products));
    return Open();
  }

  // Types into a box as an operator does: focus, select all, type, then Tab away.
  static void TypeAndLeave(QLineEdit* box, const QString& text) {
    box->setFocus(Qt::MouseFocusReason);
    box->selectAll();
    // Qt Test types ASCII only; other text is entered as an input method would.
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; });
    ascii ? QTest::keyClicks(box, text) : box->insert(text);
    QTest::keyClick(box, Qt::Key_Tab);
  }

  QString productPath = test::MakeTempFolder() + "/pdlist";
  MemorySettingsStore store;
  test::FakeMessages messages;
  FixedClock clock{MakeLocalTime(2026, 12, 6, 9)};
  RecordingSurface* surface = nullptr;
  bool failPrinting = false;
};

TEST_F(StationWindowTest, FirstStartWithoutSettingsOrProducts) {
  auto w = Open();
  const std::pair<QLineEdit*, const char*> boxes[] = {{w->Text5, "Storename"},
                                                      {w->Text12, " "},
                                                      {w->Text11, "1"},
                                                      {w->Text13, "20"},
                                                      {w->Text4, "0.00"},
                                                      {w->Text8, "1"},
                                                      {w->Text1, "0"},
                                                      {w->Text3, "0.00"},
                                                      {w->Text9, "0.000"},
                                                      {w->Text10, "0"},
                                                      {w->Text2, "Product                 "}};
  for (const auto& [box, text] : boxes)
    EXPECT_EQ(box->text(), text) << box->objectName().toStdString();
  EXPECT_EQ(w->Combo1->count(), 1);
  EXPECT_EQ(w->Combo1->currentText(), "Product                 ");
  for (QCheckBox* box : {w->Check1, w->Check2, w->Check3, w->Check4})
    EXPECT_FALSE(box->isChecked());
  ASSERT_EQ(w->List1->count(), 2);
  EXPECT_EQ(w->List1->item(0)->text(), "Reset Default 6 X 4");
  EXPECT_EQ(w->List1->item(1)->text(), "Reset Default 4 X 2.9");
  EXPECT_TRUE(w->Timer1->isActive());
  EXPECT_EQ(w->Timer1->interval(), 400);
  EXPECT_EQ(QApplication::focusWidget(), w->Check4);
  EXPECT_EQ(ReadAllBytes(productPath).size(), 150u);
  EXPECT_FALSE(store.Get("Zebra", "Storename1").has_value()) << "nothing saved at start-up";
  EXPECT_TRUE(messages.messages.empty());
  w->SetScaleStatus("no answer on /dev/ttyS0");
  EXPECT_TRUE(w->StatusLine->text().contains(QString::fromStdString(PrinterTarget{}.Describe())));
  EXPECT_TRUE(w->StatusLine->text().contains("no answer on /dev/ttyS0"));
}

TEST_F(StationWindowTest, ControlsSitAtTheirPlacesInTabOrder) {
  auto w = Open();
  const double dpiX = w->centralWidget()->logicalDpiX(), dpiY = w->centralWidget()->logicalDpiY();
  const auto px = [](int twips, double dpi) { return int(std::lround(twips * dpi / 1440)); };
  struct Place {
    QWidget* widget;
    const char* name;
    int left, top, width, height;
  };
  const Place inTabOrder[] = {
      {w->Check4, "Check4", 3360, 5640, 2175, 375},
      {w->Text13, "Text13", 720, 840, 495, 285},
      {w->Text11, "Text11", 3120, 4800, 495, 285},
      {w->Check3, "Check3", 120, 4680, 1935, 375},
      {w->Check2, "Check2", 2040, 3960, 1215, 495},
      {w->Text10, "Text10", 2880, 120, 735, 375},
      {w->Text9, "Text9", 4440, 120, 615, 375},
      {w->Command2, "Command2", 3240, 2280, 1455, 615},
      {w->Text8, "Text8", 4920, 1680, 615, 495},
      {w->Combo1, "Combo1", 3240, 1800, 1215, 315},
      {w->Check1, "Check1", 3960, 480, 1455, 495},
      {w->Text7, "Text7", 0, 3480, 2055, 375},
      {w->Text6, "Text6", 0, 2880, 2055, 375},
      {w->Text5, "Text5", 3840, 4680, 2055, 375},
      {w->Text4, "Text4", 3840, 3240, 1935, 570},
      {w->Command1, "Command1", 480, 3960, 1335, 495},
      {w->Text3, "Text3", 720, 1320, 855, 375},
      {w->Text2, "Text2", 0, 2280, 2055, 375},
      {w->Text1, "Text1", 360, 240, 1335, 375},
      {w->Text12, "Text12", 3840, 5040, 2055, 375},
      {w->List1, "List1", 240, 5520, 2415, 450},
  };
  for (std::size_t i = 0; i < std::size(inTabOrder); ++i) {
    const Place& c = inTabOrder[i];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.widget->objectName(), c.name);
    EXPECT_EQ(c.widget->geometry(),
              QRect(px(c.left, dpiX), px(c.top, dpiY), px(c.width, dpiX), px(c.height, dpiY)));
    if (i > 0) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    const QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == c.widget || focus->parentWidget() == c.widget)
        << "focus on " << focus->objectName().toStdString();
  }
  EXPECT_GE(w->StatusLine->mapTo(w.get(), QPoint(0, 0)).y(),
            w->centralWidget()->mapTo(w.get(), QPoint(0, px(6195, dpiY))).y());
  EXPECT_EQ(w->Text4->font().pointSizeF(), 18);
  EXPECT_EQ(w->Command1->font().pointSizeF(), 13.5);
  EXPECT_EQ(w->Command2->font().pointSizeF(), 12);
  EXPECT_TRUE(w->Text4->font().bold() && w->Check3->font().bold() && w->Text11->font().bold());
  EXPECT_EQ(w->Text11->palette().color(QPalette::Base), QColor(0xE0, 0xE0, 0xE0));
}

TEST_F(StationWindowTest, SelectingAProductShowsItsFields) {
  auto w = OpenWith(3);
  w->Combo1->setCurrentIndex(2);
  const std::pair<QLineEdit*, const char*> boxes[] = {{w->Text8, "3"},
                                                      {w->Text1, "3000"},
                                                      {w->Text3, "3.99"},
                                                      {w->Text9, "0.015"},
                                                      {w->Text10, "3"},
                                                      {w->Text2, "Item 3                  "},
                                                      {w->Text6, "Line two 3              "}};
  for (const auto& [box, text] : boxes)
    EXPECT_EQ(box->text(), text) << box->objectName().toStdString();
}

struct BoxRule {
  const char* name;
  QLineEdit* StationWindow::*box;
  const char* typed;
  const char* shown;       // the box afterwards
  std::size_t offset;      // the field in record 2
  RecordBytes fieldBytes;  // its bytes afterwards; empty: the file is unchanged
};
// Rows show as their names in test output.
void PrintTo(const BoxRule& row, std::ostream* out) {
  *out << row.name;
}

RecordBytes Field(std::size_t size, void (*put)(RecordBytes&)) {
  RecordBytes bytes(size);
  put(bytes);
  return bytes;
}

class StationWindowRules : public StationWindowTest,
                           public ::testing::WithParamInterface<BoxRule> {};

// Leaving a product box commits it to the product shown: the box is rewritten, its field
// written, every other byte of the file kept; a value that does not fit is refused with
// a message and the stored value shown again.
TEST_P(StationWindowRules, LeavingABoxCommitsIt) {
  const BoxRule& c = GetParam();
  auto w = OpenWith(3);
  w->Combo1->setCurrentIndex(1);
  RecordBytes expected = ReadAllBytes(productPath);

  TypeAndLeave((*w).*c.box, c.typed);
  EXPECT_EQ(((*w).*c.box)->text(), c.shown);
  std::copy(c.fieldBytes.begin(), c.fieldBytes.end(), expected.begin() + 150 + c.offset);
  EXPECT_EQ(ReadAllBytes(productPath), expected);
  EXPECT_EQ(messages.messages.size(), c.fieldBytes.empty() ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, StationWindowRules,
    ::testing::Values(
        BoxRule{"Code", &StationWindow::Text1, "4711x", "4711", 0,
                Field(8, [](RecordBytes& b) { PutInt64(b, 0, 47110000); })},
        BoxRule{"PriceRounded", &StationWindow::Text3, "2.456", "2.46", 10,
                Field(8, [](RecordBytes& b) { PutInt64(b, 0, 24600); })},
        BoxRule{"PriceLetters", &StationWindow::Text3, "free", "0.00", 10, RecordBytes(8, 0)},
        BoxRule{"Tare", &StationWindow::Text9, "0.1234", "0.123", 100,
                Field(4, [](RecordBytes& b) { PutFloat32(b, 0, 0.123f); })},
        BoxRule{"ShelfLifeHalfUp", &StationWindow::Text10, "7.5", "7.5", 22,
                Field(2, [](RecordBytes& b) { PutInt16(b, 0, 8); })},
        BoxRule{"ShelfLifeHalfDown", &StationWindow::Text10, "6.5", "6.5", 22,
                Field(2, [](RecordBytes& b) { PutInt16(b, 0, 6); })},
        BoxRule{
            "DescriptionCut", &StationWindow::Text2, "abcdefghijklmnopqrstuvwxyz12",
            "abcdefghijklmnopqrstuvwxyz12", 24,
            Field(24, [](RecordBytes& b) { PutTextField(b, 0, 24, "abcdefghijklmnopqrstuvwx"); })},
        BoxRule{"DescriptionCodePage", &StationWindow::Text7, "Caf\xc3\xa9", "Caf\xc3\xa9", 72,
                Field(24, [](RecordBytes& b) { PutTextField(b, 0, 24, "Caf\xc3\xa9"); })},
        BoxRule{"CodeBeyondFixedPoint", &StationWindow::Text1, "1e15", "2000", 0, {}},
        BoxRule{"CodeBeyondDouble", &StationWindow::Text1, "1e999", "2000", 0, {}},
        BoxRule{"PriceBeyondFixedPoint", &StationWindow::Text3, "-1e300", "2.99", 0, {}},
        BoxRule{"ShelfLifeBeyond16Bits", &StationWindow::Text10, "32767.5", "2", 0, {}},
        BoxRule{"TareBeyondSingle", &StationWindow::Text9, "1e39", "0.015", 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StationWindowTest, PaddedDescriptionAndNonWeighedClicks) {
  auto w = OpenWith(2);
  const RecordBytes original = ReadAllBytes(productPath);
  w->Text2->setFocus(Qt::MouseFocusReason);
  QTest::keyClick(w->Text2, Qt::Key_Tab);  // rewritten, byte for byte the same
  EXPECT_EQ(ReadAllBytes(productPath), original);

  const QPoint box(8, w->Check1->height() / 2);
  QTest::mouseClick(w->Check1, Qt::LeftButton, {}, box);
  EXPECT_EQ(GetInt16(ReadAllBytes(productPath), 18), -1);
  QTest::mouseClick(w->Check1, Qt::LeftButton, {}, box);
  EXPECT_EQ(ReadAllBytes(productPath), original);
}

// A pending edit is committed, against the product shown, before the button acts.
TEST_F(StationWindowTest, PrintCommitsThePendingEditFirst) {
  auto w = OpenWith(2);
  w->Text3->setFocus(Qt::MouseFocusReason);
  w->Text3->selectAll();
  QTest::keyClicks(w->Text3, "2.456");
  w->Text4->setText("1.000 KG");
  QTest::mouseClick(w->Command1, Qt::LeftButton);
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->EndedDocuments(), 1);
  EXPECT_EQ(GetInt64(ReadAllBytes(productPath), 10), 24600);
  EXPECT_EQ(surface->Texts()[surface->Texts().size() - 2].text, "2.46") << "price per kilogram";
}

TEST_F(StationWindowTest, FailedPrintIsReportedAndTheWindowGoesOn) {
  failPrinting = true;
  auto w = Open();
  w->Text1->setText("1234");
  QTest::mouseClick(w->Command1, Qt::LeftButton);
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_NE(messages.messages[0].find("not printed"), std::string::npos);
  QTest::mouseClick(w->Command1, Qt::LeftButton);
  EXPECT_EQ(surface->EndedDocuments(), 1);
  store.Save("Zebra", "PriceTop", "40000");
  EXPECT_THROW(w->PrintWeighedLabel(), Failure) << "the scale link sees the failure";
}

TEST_F(StationWindowTest, TypingOverTheSelectorLeavesNoProductSelected) {
  auto w = OpenWith(2);
  const RecordBytes original = ReadAllBytes(productPath);
  w->Combo1->setFocus(Qt::MouseFocusReason);
  w->Combo1->lineEdit()->selectAll();
  QTest::keyClicks(w->Combo1->lineEdit(), "zz");
  TypeAndLeave(w->Text3, "7.77");
  EXPECT_EQ(ReadAllBytes(productPath), original);

  emit w->Combo1->activated(0);  // the operator picks the first entry again
  EXPECT_EQ(w->Text3->text(), "1.99");
  TypeAndLeave(w->Text3, "7.77");
  EXPECT_EQ(GetInt64(ReadAllBytes(productPath), 10), 77700);
}

TEST_F(StationWindowTest, AddNewItem) {
  struct Case {
    int products;
    std::size_t bytes;  // the file before
    int messagesAtStart;
    int entriesAfter;
  };
  // Three products; a half record (no product, then record 1); a full table.
  for (const Case& c : {Case{3, 450, 0, 4}, Case{0, 75, 1, 1}, Case{5001, 5001 * 150, 1, 5000}}) {
    SCOPED_TRACE(c.bytes);
    RecordBytes bytes = test::ProductFileBytes(c.products);
    bytes.resize(c.bytes, 7);
    test::WriteAllBytes(productPath, bytes);
    messages.messages.clear();
    auto w = Open();
    EXPECT_EQ(int(messages.messages.size()), c.messagesAtStart);
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    EXPECT_EQ(w->Combo1->count(), c.entriesAfter);
    if (c.entriesAfter == 5000) {
      EXPECT_NE(messages.messages.back().find("full"), std::string::npos);
      EXPECT_EQ(ReadAllBytes(productPath), bytes);
      continue;
    }
    EXPECT_EQ(w->Combo1->currentIndex(), c.entriesAfter - 1);
    EXPECT_EQ(w->Text8->text(), QString::number(c.entriesAfter));
    EXPECT_EQ(w->Text2->text(), "New Item                ");
    EXPECT_EQ(ReadAllBytes(productPath).size(), std::size_t(c.entriesAfter) * 150);
  }
}

TEST_F(StationWindowTest, ResetListAsksFirst) {
  struct Case {
    bool yes;
    int row;
    const char* useDateCentre;
  };
  for (const Case& c : {Case{false, 0, "1"}, Case{true, 0, "2675"}, Case{true, 1, "1200"}}) {
    store.Save("Zebra", "UseDatecenter", "1");
    messages.answerYes = c.yes;
    auto w = Open();
    const QPoint at = w->List1->visualItemRect(w->List1->item(c.row)).center();
    QTest::mouseClick(w->List1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w->List1->viewport(), Qt::LeftButton, {}, at);
    ASSERT_FALSE(messages.questions.empty());
    EXPECT_EQ(messages.questions.back(),
              "Check Paper Size in Printer Properties Also|Are You Sure|No");
    EXPECT_EQ(store.Get("Zebra", "UseDatecenter"), c.useDateCentre);
  }
}

TEST_F(StationWindowTest, FlagAndWeightBoxRules) {
  auto w = Open();
  const std::tuple<QLineEdit*, const char*, const char*> cases[] = {
      {w->Text13, "35", "20"},        {w->Text13, "27.9", "27"}, {w->Text13, "19", "20"},
      {w->Text13, "29", "29"},        {w->Text13, "x", "20"},    {w->Text4, "2", "2.000"},
      {w->Text4, "1.235 KG", "1.235"}};
  for (const auto& [box, typed, shown] : cases) {
    SCOPED_TRACE(typed);
    TypeAndLeave(box, typed);
    EXPECT_EQ(box->text(), shown);
  }
}

TEST_F(StationWindowTest, StoreNameAndPortAreSavedAsTyped) {
  {
    auto w = Open();
    QSignalSpy ports(w.get(), &StationWindow::portNumberChanged);
    TypeAndLeave(w->Text12, "Line two");
    EXPECT_EQ(store.Get("Zebra", "Storename12"), "Line two");
    EXPECT_FALSE(store.Get("Zebra", "Storename1").has_value());
    TypeAndLeave(w->Text11, "2.5 usb");
    EXPECT_EQ(store.Get("Zebra", "COMPORT"), "2.5 usb");
    ASSERT_EQ(ports.count(), 1);
    EXPECT_EQ(ports.at(0).at(0).toInt(), 2);
  }
  EXPECT_EQ(Open()->Text11->text(), "2.5");
  store.Save("Zebra", "COMPORT", "none");
  EXPECT_EQ(Open()->Text11->text(), "0");
}

}  // namespace
}  // namespace corvel
