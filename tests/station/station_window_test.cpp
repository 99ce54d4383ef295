// The real station window on the offscreen platform, driven as an operator drives it:
// focus moves with Tab, typing, clicks and double clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>

#include "common/settings_sections.h"
#include "station/product_file.h"
#include "station/scale_link.h"
#include "station/station_window.h"
#include "tests/station/station_test_support.h"
#include "tests/support/recording_surface.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using test::ReadAllBytes;

class StationWindowTest : public ::testing::Test {
 protected:
  std::unique_ptr<StationWindow> Open() {
    auto makeSurface = [this] {
      auto made = std::make_unique<RecordingSurface>();
      surface_ = made.get();
      return made;
    };
    auto window = std::make_unique<StationWindow>(StationServices{
        store_, messages_, clock_, PrinterTarget{}, makeSurface, productPath_.toStdString()});
    window->show();
    QApplication::setActiveWindow(window.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return window;
  }

  std::unique_ptr<StationWindow> OpenWith(int products) {
    test::WriteAllBytes(productPath_, test::ProductFileBytes(products));
    return Open();
  }

  // Types into a box as an operator does: focus, select all, type, then Tab away.
  static void TypeAndLeave(QLineEdit* box, const QString& text) {
    box->setFocus(Qt::MouseFocusReason);
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Tab);
  }

  QString productPath_ = test::MakeTempFolder() + "/pdlist";
  MemorySettingsStore store_;
  test::FakeMessages messages_;
  FixedClock clock_{MakeLocalTime(2026, 12, 6, 9)};
  RecordingSurface* surface_ = nullptr;
};

TEST_F(StationWindowTest, FirstStartWithoutSettingsOrProducts) {
  auto w = Open();
  // A missing product file starts with one product; the check boxes start clear.
  EXPECT_EQ(w->Combo1->count(), 1);
  EXPECT_EQ(w->Text2->text(), "Product                 ");
  for (QCheckBox* box : {w->Check1, w->Check2, w->Check3, w->Check4})
    EXPECT_FALSE(box->isChecked());
  EXPECT_TRUE(w->Timer1->isActive());
  EXPECT_EQ(QApplication::focusWidget(), w->Check4);
  EXPECT_EQ(ReadAllBytes(productPath_).size(), 150u);
  EXPECT_FALSE(store_.Get(kStationSection, "Storename1").has_value())
      << "nothing saved at start-up";
  EXPECT_TRUE(messages_.messages.empty());
  w->SetScaleStatus("no answer on /dev/ttyS0");
  EXPECT_TRUE(w->StatusLine->text().contains(QString::fromStdString(PrinterTarget{}.Describe())));
  EXPECT_TRUE(w->StatusLine->text().contains("no answer on /dev/ttyS0"));
  QTest::mouseClick(w->Command2, Qt::LeftButton);  // "Add New Item"
  EXPECT_EQ(std::tuple(w->Combo1->count(), w->Combo1->currentIndex(), w->Text8->text()),
            std::tuple(2, 1, QString("2")));
  EXPECT_EQ(w->Text2->text(), "New Item                ");
}

// Leaving a number box runs that box's rule (tested on the product file) against the
// product shown: the window shows and the file holds what the rule gives on a copy.
TEST_F(StationWindowTest, LeavingABoxCommitsIt) {
  using W = StationWindow;
  const std::tuple<QLineEdit * W::*, ProductBox, const char*> rows[] = {
      {&W::Text1, ProductBox::Code, "4711x"},
      {&W::Text3, ProductBox::Price, "2.456"},
      {&W::Text9, ProductBox::Tare, "0.1234"},
      {&W::Text10, ProductBox::ShelfLife, "6.5"},
      {&W::Text9, ProductBox::Tare, "1e39"}};  // refused
  for (const auto& [box, kind, typed] : rows) {
    SCOPED_TRACE(typed);
    messages_.messages.clear();
    const QString copy = test::MakeTempFolder() + "/pdlist";
    test::WriteAllBytes(copy, test::ProductFileBytes(3));
    ProductStation station(copy.toStdString());
    LoadProductFile(station);
    station.selected = 2;
    const CommitResult rule = CommitProductBox(station, kind, typed);
    auto w = OpenWith(3);
    w->Combo1->setCurrentIndex(1);
    TypeAndLeave((*w).*box, typed);
    EXPECT_EQ(((*w).*box)->text().toStdString(), rule.boxText);
    EXPECT_EQ(ReadAllBytes(productPath_), ReadAllBytes(copy));
    EXPECT_EQ(messages_.messages.size(), rule.message.empty() ? 0u : 1u);
  }
}

// Description lines show up to their first zero byte (lines 2 and 3 of a product the
// station creates are all zero bytes). Whatever is typed, wherever the cursor was put,
// is stored; passing through without typing leaves the bytes as they are.
TEST_F(StationWindowTest, TypingIsNeverLost) {
  enum Cursor { PassThrough, End, ClickAtRight };
  using W = StationWindow;
  struct Row {
    QLineEdit* W::*box;
    Cursor cursor;
    const char* typed;
    const char* stored = nullptr;  // bytes unchanged
  };
  const Row rows[] = {
      {.box = &W::Text6, .cursor = End, .typed = " off", .stored = "Ham off"},
      {.box = &W::Text6, .cursor = PassThrough, .typed = ""},
      {.box = &W::Text7, .cursor = ClickAtRight, .typed = "Thin", .stored = "Thin"},
      // Behind the padding of line 1: the padding gives way to what was typed.
      {.box = &W::Text2, .cursor = End, .typed = "Fresh", .stored = "Product            Fresh"}};
  RecordBytes original = test::NewItemRecord("Product");
  std::copy_n("Ham", 3, original.begin() + 48);  // then zero bytes
  for (const auto& [member, cursor, typed, stored] : rows) {
    const std::size_t offset = member == &W::Text2 ? 24 : member == &W::Text6 ? 48 : 72;
    SCOPED_TRACE(std::to_string(offset) + typed);
    test::WriteAllBytes(productPath_, original);
    auto w = Open();
    EXPECT_EQ(w->Text6->text(), "Ham");
    EXPECT_EQ(w->Text7->text(), "");
    QLineEdit* box = (*w).*member;
    if (cursor == ClickAtRight)
      QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 4, box->height() / 2));
    else
      box->setFocus(Qt::TabFocusReason);
    if (cursor == End) QTest::keyClick(box, Qt::Key_End);
    QTest::keyClicks(box, typed);
    QTest::keyClick(box, Qt::Key_Tab);
    RecordBytes expected = original;
    if (stored) PutTextField(expected, offset, 24, stored);
    EXPECT_EQ(ReadAllBytes(productPath_), expected);
    EXPECT_TRUE(messages_.messages.empty());
  }
}

// Selecting a product shows its fields. "Non Weighed" is the 16-bit flag at offset 18:
// only FFFF hex shows ticked, showing it writes nothing, and a click writes FFFF hex or 0.
TEST_F(StationWindowTest, SelectingAProductShowsItsFieldsAndFlag) {
  for (const auto& [flag, ticked, afterClick] :
       {std::tuple<int, bool, int>{-1, true, 0}, {1, false, -1}, {0, false, -1}}) {
    SCOPED_TRACE(flag);
    RecordBytes file = test::ProductFileBytes(2);
    PutInt16(file, 150 + 18, static_cast<std::int16_t>(flag));
    test::WriteAllBytes(productPath_, file);
    auto w = Open();
    w->Combo1->setCurrentIndex(1);
    QStringList shown;
    for (QLineEdit* box : {w->Text8, w->Text1, w->Text3, w->Text9, w->Text10, w->Text2, w->Text6})
      shown << box->text().trimmed();
    EXPECT_EQ(shown.join('|'), "2|2000|2.99|0.015|2|Item 2|Line two 2");
    EXPECT_EQ(w->Check1->isChecked(), ticked);
    EXPECT_EQ(ReadAllBytes(productPath_), file);
    QTest::mouseClick(w->Check1, Qt::LeftButton);
    PutInt16(file, 150 + 18, static_cast<std::int16_t>(afterClick));
    EXPECT_EQ(ReadAllBytes(productPath_), file);
  }
}

// A pending edit is committed, against the product shown, before the button acts.
TEST_F(StationWindowTest, PrintCommitsThePendingEditFirst) {
  auto w = OpenWith(2);
  w->Text3->setFocus(Qt::MouseFocusReason);
  w->Text3->selectAll();
  QTest::keyClicks(w->Text3, "2.456");
  w->Text4->setText("1.000 KG");
  QTest::mouseClick(w->Command1, Qt::LeftButton);
  ASSERT_NE(surface_, nullptr);
  EXPECT_EQ(surface_->EndedDocuments(), 1);
  EXPECT_EQ(GetInt64(ReadAllBytes(productPath_), 10), 24600);
  EXPECT_EQ(surface_->Texts()[surface_->Texts().size() - 2].text, "2.46") << "price per kilogram";
}

TEST_F(StationWindowTest, ResetListAsksFirst) {
  for (const auto& [yes, row, useDateCentre] :
       {std::tuple{false, 0, "1"}, {true, 0, "2675"}, {true, 1, "1200"}}) {
    store_.Save(kStationSection, "UseDatecenter", "1");
    messages_.answerYes = yes;
    auto w = Open();
    const QPoint at = w->List1->visualItemRect(w->List1->item(row)).center();
    QTest::mouseClick(w->List1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w->List1->viewport(), Qt::LeftButton, {}, at);
    ASSERT_FALSE(messages_.questions.empty());
    EXPECT_EQ(messages_.questions.back(),
              "Check Paper Size in Printer Properties Also|Are You Sure|No");
    EXPECT_EQ(store_.Get(kStationSection, "UseDatecenter"), useDateCentre);
  }
}

// "On COM" shows the stored port's leading number; leaving it stores the text as typed
// and takes the number rounded, halves to even. The store name lines save separately.
TEST_F(StationWindowTest, PortAndStoreNameSettings) {
  struct Port {
    const char* stored;  // "COMPORT"
    const char* shown;   // at start-up
    const char* typed;
    int port;               // the port number then
    const char* says = "";  // what the first poll says ("": not polled)
  };
  const char* tooLarge = "\"COMPORT\" (On COM) is \"1e20\": 1E+20 is too large";
  const Port ports[] = {
      {.stored = "3abc", .shown = "3", .typed = "2.5 x", .port = 2},
      {.stored = "none", .shown = "0", .typed = "3.5", .port = 4, .says = "numbers start at 1"},
      {.stored = "1e20", .shown = "1E+20", .typed = "7", .port = 7, .says = tooLarge},
      {.stored = "2", .shown = "2", .typed = "COM5", .port = 0},
  };
  for (const auto& [stored, shown, typed, port, says] : ports) {
    SCOPED_TRACE(typed);
    store_.Save(kStationSection, "COMPORT", stored);
    auto w = Open();
    EXPECT_EQ(w->Text11->text(), shown);
    if (*says) {
      ScaleLink link(*w, *w->Timer1, store_, w->PortNumber());
      link.OnTimerTick();
      EXPECT_TRUE(w->StatusLine->text().contains(says)) << w->StatusLine->text().toStdString();
    }
    TypeAndLeave(w->Text11, typed);
    EXPECT_EQ(w->PortNumber(), port);
    EXPECT_EQ(store_.Get(kStationSection, "COMPORT"), typed);
  }
  // Store names show up to a zero byte; passing through keeps them as stored.
  const std::string corner("Corner Shop\0\0", 13);
  store_.Save(kStationSection, "Storename1", corner);
  store_.Save(kStationSection, "Storename12", std::string("Main\0", 5));
  auto w = Open();
  EXPECT_EQ(w->Text5->text(), "Corner Shop");
  w->Text5->setFocus(Qt::TabFocusReason);
  w->Text12->setFocus(Qt::TabFocusReason);
  QTest::keyClick(w->Text12, Qt::Key_End);
  QTest::keyClicks(w->Text12, " Street");
  QTest::keyClick(w->Text12, Qt::Key_Tab);
  EXPECT_EQ(store_.Get(kStationSection, "Storename12"), "Main Street");
  EXPECT_EQ(store_.Get(kStationSection, "Storename1"), corner);
}

// The rule of a box runs whenever it loses the focus, typed into or not (a weight the
// scale wrote, passed through, is rewritten too); the FLAG rule itself is FlagBox's.
TEST_F(StationWindowTest, FlagAndWeightBoxRules) {
  auto w = Open();
  TypeAndLeave(w->Text13, "27.9");
  EXPECT_EQ(w->Text13->text(), "27");
  TypeAndLeave(w->Text4, "2");
  EXPECT_EQ(w->Text4->text(), "2.000");
  w->Text4->setText("1.235 KG");
  w->Text4->setFocus(Qt::TabFocusReason);
  QTest::keyClick(w->Text4, Qt::Key_Tab);
  EXPECT_EQ(w->Text4->text(), "1.235");
}

}  // namespace
}  // namespace corvel
