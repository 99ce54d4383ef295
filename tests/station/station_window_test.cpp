// The real station window on the offscreen platform, driven like an operator drives it:
// focus moves with Tab, typing, clicks and double clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include "common/errors.h"
#include "common/recording_surface.h"
#include "station/station_window.h"
#include "tests/station/station_test_support.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using test::ReadAllBytes;
using test::WriteAllBytes;

class StationWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { target.pdfFolder = "/labels"; }

  std::unique_ptr<StationWindow> Open() {
    auto window =
        std::make_unique<StationWindow>(StationServices{store, messages, clock, target,
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

  // Types into a box as an operator does: focus, select all, type, then Tab away.
  static void TypeAndLeave(QLineEdit* box, const QString& text) {
    box->setFocus(Qt::MouseFocusReason);
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Tab);
  }

  RecordBytes Record(int n) const {
    const RecordBytes all = ReadAllBytes(productPath);
    return RecordBytes(all.begin() + (n - 1) * 150, all.begin() + n * 150);
  }

  QString productPath = test::MakeTempFolder() + "/pdlist";
  MemorySettingsStore store;
  test::FakeMessages messages;
  FixedClock clock{MakeLocalTime(2026, 12, 6, 9)};
  PrinterTarget target;
  RecordingSurface* surface = nullptr;
  bool failPrinting = false;
};

TEST_F(StationWindowTest, FirstStartWithoutSettingsOrProducts) {
  auto w = Open();
  EXPECT_EQ(w->Text5->text(), "Storename");
  EXPECT_EQ(w->Text12->text(), " ");
  EXPECT_EQ(w->Text11->text(), "1");
  EXPECT_EQ(w->Text13->text(), "20");
  EXPECT_EQ(w->Text4->text(), "0.00");
  EXPECT_EQ(w->Combo1->count(), 1);
  EXPECT_EQ(w->Combo1->itemText(0), "Product                 ");
  EXPECT_EQ(w->Combo1->currentIndex(), 0);
  EXPECT_EQ(w->Combo1->currentText(), "Product                 ");
  EXPECT_EQ(w->Text8->text(), "1");
  EXPECT_EQ(w->Text2->text(), "Product                 ");
  EXPECT_EQ(w->Text1->text(), "0");
  EXPECT_EQ(w->Text3->text(), "0.00");
  EXPECT_EQ(w->Text9->text(), "0.000");
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
  EXPECT_TRUE(w->StatusLine->text().contains(QString::fromStdString(target.Describe())));
  w->SetScaleStatus("no answer on /dev/ttyS0");
  EXPECT_TRUE(w->StatusLine->text().contains("no answer on /dev/ttyS0"));
}

TEST_F(StationWindowTest, ControlsSitAtTheirPlacesInTabOrder) {
  auto w = Open();
  const double dpiX = w->centralWidget()->logicalDpiX(), dpiY = w->centralWidget()->logicalDpiY();
  auto px = [](int twips, double dpi) { return static_cast<int>(std::lround(twips * dpi / 1440)); };
  struct Expected {
    QWidget* widget;
    const char* name;
    int left, top, width, height;
  };
  const Expected controls[] = {
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
  const QRect client(0, 0, px(6075, dpiX), px(6195, dpiY));
  for (const Expected& c : controls) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.widget->objectName(), c.name);
    EXPECT_EQ(c.widget->geometry(),
              QRect(px(c.left, dpiX), px(c.top, dpiY), px(c.width, dpiX), px(c.height, dpiY)));
    EXPECT_TRUE(client.contains(c.widget->geometry()));
  }
  EXPECT_GE(w->StatusLine->mapTo(w.get(), QPoint(0, 0)).y(),
            w->centralWidget()->mapTo(w.get(), QPoint(0, client.height())).y())
      << "the status line lies below the controls";
  EXPECT_EQ(w->Text4->font().pointSizeF(), 18);
  EXPECT_TRUE(w->Text4->font().bold());
  EXPECT_EQ(w->Command1->font().pointSizeF(), 13.5);
  EXPECT_EQ(w->Command2->font().pointSizeF(), 12);
  EXPECT_TRUE(w->Check3->font().bold());
  EXPECT_EQ(w->Text11->palette().color(QPalette::Base), QColor(0xE0, 0xE0, 0xE0));

  // Tab walks the controls in their tab order.
  w->Check4->setFocus(Qt::TabFocusReason);
  for (std::size_t i = 1; i < std::size(controls); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == controls[i].widget || focus->parentWidget() == controls[i].widget)
        << "after " << controls[i - 1].name << " came " << focus->objectName().toStdString();
  }
}

TEST_F(StationWindowTest, SelectingAProductShowsItsFields) {
  WriteAllBytes(productPath, test::ProductFileBytes(3));
  auto w = Open();
  ASSERT_EQ(w->Combo1->count(), 3);
  EXPECT_EQ(w->Combo1->itemText(2), "Item 3");
  w->Combo1->setCurrentIndex(2);
  EXPECT_EQ(w->Text8->text(), "3");
  EXPECT_EQ(w->Text1->text(), "3000");
  EXPECT_EQ(w->Text3->text(), "3.99");
  EXPECT_EQ(w->Text9->text(), "0.015");
  EXPECT_EQ(w->Text10->text(), "3");
  EXPECT_EQ(w->Text2->text(), "Item 3                  ");
  EXPECT_EQ(w->Text6->text(), "Line two 3              ");
  EXPECT_FALSE(w->Check1->isChecked());
}

struct BoxRule {
  const char* name;
  QLineEdit* StationWindow::*box;
  const char* typed;
  const char* shown;   // the box afterwards
  std::size_t offset;  // field changed in record 2
  RecordBytes fieldBytes;
};

class StationWindowRules : public StationWindowTest,
                           public ::testing::WithParamInterface<BoxRule> {};

RecordBytes Bytes64(std::int64_t v) {
  RecordBytes b(8);
  PutInt64(b, 0, v);
  return b;
}
RecordBytes Bytes16(std::int16_t v) {
  RecordBytes b(2);
  PutInt16(b, 0, v);
  return b;
}
RecordBytes BytesFloat(float v) {
  RecordBytes b(4);
  PutFloat32(b, 0, v);
  return b;
}

// Leaving a product box commits it to the product shown; every other byte stays.
TEST_P(StationWindowRules, LeavingABoxCommitsIt) {
  const BoxRule& c = GetParam();
  const RecordBytes original = test::ProductFileBytes(3);
  WriteAllBytes(productPath, original);
  auto w = Open();
  w->Combo1->setCurrentIndex(1);

  TypeAndLeave((*w).*c.box, c.typed);
  EXPECT_EQ(((*w).*c.box)->text(), c.shown);
  RecordBytes expected(original.begin() + 150, original.begin() + 300);
  std::copy(c.fieldBytes.begin(), c.fieldBytes.end(), expected.begin() + c.offset);
  EXPECT_EQ(Record(2), expected);
  EXPECT_EQ(Record(1), RecordBytes(original.begin(), original.begin() + 150));
  EXPECT_EQ(Record(3), RecordBytes(original.begin() + 300, original.end()));
  EXPECT_TRUE(messages.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, StationWindowRules,
    ::testing::Values(
        BoxRule{"Code", &StationWindow::Text1, "4711x", "4711", 0, Bytes64(47110000)},
        BoxRule{"Price", &StationWindow::Text3, "2.456", "2.46", 10, Bytes64(24600)},
        BoxRule{"PriceLetters", &StationWindow::Text3, "free", "0.00", 10, Bytes64(0)},
        BoxRule{"Tare", &StationWindow::Text9, "0.1234", "0.123", 100, BytesFloat(0.123f)},
        BoxRule{"ShelfLifeHalfUp", &StationWindow::Text10, "7.5", "7.5", 22, Bytes16(8)},
        BoxRule{"ShelfLifeHalfDown", &StationWindow::Text10, "6.5", "6.5", 22, Bytes16(6)},
        BoxRule{"Description", &StationWindow::Text2, "abcdefghijklmnopqrstuvwxyz1234",
                "abcdefghijklmnopqrstuvwxyz1234", 24,
                RecordBytes{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l',
                            'm', 'n', 'o', 'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x'}},
        BoxRule{"DescriptionLine3", &StationWindow::Text7, "Fresh", "Fresh", 72,
                RecordBytes{'F', 'r', 'e', 's', 'h', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                            ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StationWindowTest, PaddedDescriptionIsRewrittenUnchanged) {
  const RecordBytes original = test::ProductFileBytes(2);
  WriteAllBytes(productPath, original);
  auto w = Open();
  w->Text2->setFocus(Qt::MouseFocusReason);
  QTest::keyClick(w->Text2, Qt::Key_Tab);
  EXPECT_EQ(w->Text2->text(), "Item 1                  ");
  EXPECT_EQ(ReadAllBytes(productPath), original);
}

TEST_F(StationWindowTest, NonWeighedClicksWriteTheFlag) {
  WriteAllBytes(productPath, test::ProductFileBytes(2));
  auto w = Open();
  QTest::mouseClick(w->Check1, Qt::LeftButton, {}, QPoint(8, w->Check1->height() / 2));
  EXPECT_TRUE(w->Check1->isChecked());
  EXPECT_EQ(Record(1)[18], 0xff);
  EXPECT_EQ(Record(1)[19], 0xff);
  QTest::mouseClick(w->Check1, Qt::LeftButton, {}, QPoint(8, w->Check1->height() / 2));
  EXPECT_EQ(Record(1)[18], 0);
}

TEST_F(StationWindowTest, OutOfRangeValueIsRefusedWithAMessage) {
  const RecordBytes original = test::ProductFileBytes(1);
  WriteAllBytes(productPath, original);
  auto w = Open();
  TypeAndLeave(w->Text1, "1e20");
  EXPECT_EQ(w->Text1->text(), "1000");
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_NE(messages.messages[0].find("1e20"), std::string::npos);
  TypeAndLeave(w->Text10, "99999");
  EXPECT_EQ(w->Text10->text(), "1");
  EXPECT_EQ(messages.messages.size(), 2u);
  EXPECT_EQ(ReadAllBytes(productPath), original);
}

// A pending edit is committed, against the product shown, before the button acts.
TEST_F(StationWindowTest, PrintCommitsThePendingEditFirst) {
  WriteAllBytes(productPath, test::ProductFileBytes(2));
  auto w = Open();
  w->Text3->setFocus(Qt::MouseFocusReason);
  w->Text3->selectAll();
  QTest::keyClicks(w->Text3, "2.456");
  w->Text4->setText("1.000 KG");
  QTest::mouseClick(w->Command1, Qt::LeftButton);
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->EndedDocuments(), 1);
  EXPECT_EQ(GetInt64(Record(1), 10), 24600);
  bool pricePrinted = false;
  for (const RecordedOp& op : surface->Texts())
    pricePrinted |= op.text == "2.46";
  EXPECT_TRUE(pricePrinted);
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(StationWindowTest, FailedPrintIsReportedAndTheWindowGoesOn) {
  failPrinting = true;
  auto w = Open();
  w->Text1->setText("1234");
  QTest::mouseClick(w->Command1, Qt::LeftButton);
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_NE(messages.messages[0].find("not printed"), std::string::npos);
  EXPECT_EQ(surface->EndedDocuments(), 0);
  QTest::mouseClick(w->Command1, Qt::LeftButton);
  EXPECT_EQ(surface->EndedDocuments(), 1);

  store.Save("Zebra", "PriceTop", "40000");
  EXPECT_THROW(w->PrintWeighedLabel(), Failure) << "the scale link sees the failure";
}

TEST_F(StationWindowTest, TypingOverTheSelectorLeavesNoProductSelected) {
  const RecordBytes original = test::ProductFileBytes(2);
  WriteAllBytes(productPath, original);
  auto w = Open();
  w->Combo1->setFocus(Qt::MouseFocusReason);
  w->Combo1->lineEdit()->selectAll();
  QTest::keyClicks(w->Combo1->lineEdit(), "zz");
  TypeAndLeave(w->Text3, "7.77");
  TypeAndLeave(w->Text2, "Changed");
  EXPECT_EQ(ReadAllBytes(productPath), original);

  emit w->Combo1->activated(0);  // the operator picks the first entry again
  EXPECT_EQ(w->Text3->text(), "1.99");
  TypeAndLeave(w->Text3, "7.77");
  EXPECT_EQ(GetInt64(Record(1), 10), 77700);
}

TEST_F(StationWindowTest, AddNewItemToThreeProducts) {
  WriteAllBytes(productPath, test::ProductFileBytes(3));
  auto w = Open();
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  EXPECT_EQ(w->Combo1->count(), 4);
  EXPECT_EQ(w->Combo1->currentIndex(), 3);
  EXPECT_EQ(w->Combo1->itemText(3), "New Item                ");
  EXPECT_EQ(w->Text8->text(), "4");
  EXPECT_EQ(w->Text2->text(), "New Item                ");
  EXPECT_EQ(w->Text1->text(), "0");
  ASSERT_EQ(ReadAllBytes(productPath).size(), 600u);
  RecordBytes expected(150, 0);
  PutTextField(expected, 24, 24, "New Item");
  EXPECT_EQ(Record(4), expected);
}

TEST_F(StationWindowTest, HalfRecordFileStartsEmptyAndAddCreatesRecordOne) {
  WriteAllBytes(productPath, test::PatternBytes(75, 3));
  auto w = Open();
  EXPECT_EQ(w->Combo1->count(), 0);
  EXPECT_EQ(w->Text8->text(), "");
  ASSERT_EQ(messages.messages.size(), 1u);
  TypeAndLeave(w->Text3, "5");
  EXPECT_EQ(ReadAllBytes(productPath), test::PatternBytes(75, 3)) << "nothing selected";

  QTest::mouseClick(w->Command2, Qt::LeftButton);
  EXPECT_EQ(w->Combo1->count(), 1);
  EXPECT_EQ(w->Text8->text(), "1");
  EXPECT_EQ(w->Text2->text(), "New Item                ");
  EXPECT_EQ(ReadAllBytes(productPath).size(), 150u);
}

TEST_F(StationWindowTest, FullTableSaysSoAndAddsNothing) {
  WriteAllBytes(productPath, test::ProductFileBytes(5001));
  auto w = Open();
  EXPECT_EQ(w->Combo1->count(), 5000);
  ASSERT_EQ(messages.messages.size(), 1u);
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  ASSERT_EQ(messages.messages.size(), 2u);
  EXPECT_NE(messages.messages[1].find("full"), std::string::npos);
  EXPECT_EQ(w->Combo1->count(), 5000);
  EXPECT_EQ(ReadAllBytes(productPath).size(), 5001u * 150);
}

TEST_F(StationWindowTest, ResetListAsksFirst) {
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "Yes" : "No");
    store.Save("Zebra", "UseDatecenter", "1");
    messages.answerYes = yes;
    auto w = Open();
    const QPoint at = w->List1->visualItemRect(w->List1->item(0)).center();
    QTest::mouseClick(w->List1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w->List1->viewport(), Qt::LeftButton, {}, at);
    ASSERT_FALSE(messages.questions.empty());
    EXPECT_EQ(messages.questions.back(),
              "Check Paper Size in Printer Properties Also|Are You Sure|No");
    EXPECT_EQ(store.Get("Zebra", "UseDatecenter"), yes ? "2675" : "1");
  }
}

TEST_F(StationWindowTest, FlagBoxKeepsTwentyToTwentyNine) {
  auto w = Open();
  const std::pair<const char*, const char*> cases[] = {{"35", "20"}, {"27.9", "27"}, {"19", "20"},
                                                       {"29", "29"}, {"x", "20"},    {"-21", "20"}};
  for (const auto& [typed, shown] : cases) {
    SCOPED_TRACE(typed);
    TypeAndLeave(w->Text13, typed);
    EXPECT_EQ(w->Text13->text(), shown);
  }
}

TEST_F(StationWindowTest, WeightBoxIsReformatted) {
  auto w = Open();
  TypeAndLeave(w->Text4, "1.235 KG");
  EXPECT_EQ(w->Text4->text(), "1.235");
  TypeAndLeave(w->Text4, "2");
  EXPECT_EQ(w->Text4->text(), "2.000");
}

TEST_F(StationWindowTest, StoreNameAndPortAreSavedAsTyped) {
  {
    auto w = Open();
    QSignalSpy ports(w.get(), &StationWindow::portNumberChanged);
    TypeAndLeave(w->Text12, "Line two");
    EXPECT_EQ(store.Get("Zebra", "Storename12"), "Line two");
    EXPECT_FALSE(store.Get("Zebra", "Storename1").has_value());
    TypeAndLeave(w->Text5, "Corner Deli");
    EXPECT_EQ(store.Get("Zebra", "Storename1"), "Corner Deli");
    TypeAndLeave(w->Text11, "2.5 usb");
    EXPECT_EQ(store.Get("Zebra", "COMPORT"), "2.5 usb");
    ASSERT_EQ(ports.count(), 1);
    EXPECT_EQ(ports.at(0).at(0).toInt(), 2);
    EXPECT_EQ(w->PortNumber(), 2);
  }
  auto again = Open();
  EXPECT_EQ(again->Text5->text(), "Corner Deli");
  EXPECT_EQ(again->Text11->text(), "2.5");
  store.Save("Zebra", "COMPORT", "none");
  auto third = Open();
  EXPECT_EQ(third->Text11->text(), "0");
}

}  // namespace
}  // namespace corvel
