// The real station window on the offscreen platform, driven as an operator drives it:
// focus moves with Tab, typing, clicks and double clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>

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
    auto makeSurface = [this] {
      auto made = std::make_unique<RecordingSurface>();
      surface = made.get();
      return made;
    };
    auto window = std::make_unique<StationWindow>(StationServices{
        store, messages, clock, PrinterTarget{}, makeSurface, productPath.toStdString()});
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
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Tab);
  }

  QString productPath = test::MakeTempFolder() + "/pdlist";
  MemorySettingsStore store;
  test::FakeMessages messages;
  FixedClock clock{MakeLocalTime(2026, 12, 6, 9)};
  RecordingSurface* surface = nullptr;
};

void ExpectBoxes(const std::vector<QLineEdit*>& boxes, const std::vector<const char*>& texts) {
  ASSERT_EQ(boxes.size(), texts.size());
  for (std::size_t i = 0; i < boxes.size(); ++i)
    EXPECT_EQ(boxes[i]->text(), texts[i]) << boxes[i]->objectName().toStdString();
}

TEST_F(StationWindowTest, FirstStartWithoutSettingsOrProducts) {
  auto w = Open();
  ExpectBoxes({w->Text5, w->Text12, w->Text11, w->Text13, w->Text4, w->Text8, w->Text1, w->Text3,
               w->Text9, w->Text10, w->Text2},
              {"Storename", " ", "1", "20", "0.00", "1", "0", "0.00", "0.000", "0",
               "Product                 "});
  EXPECT_EQ(w->Combo1->count(), 1);
  EXPECT_EQ(w->Combo1->currentText(), "Product                 ");
  for (QCheckBox* box : {w->Check1, w->Check2, w->Check3, w->Check4})
    EXPECT_FALSE(box->isChecked());
  // Captions and controls shown in a font of their own; other captions are plain 8 pt.
  const auto captionFont = [&](const char* text) {
    for (QLabel* label : w->findChildren<QLabel*>())
      if (label->text() == text) return label->font();
    ADD_FAILURE() << "no caption " << text;
    return QFont();
  };
  const std::tuple<const char*, QFont, double, bool> fonts[] = {
      {"Scale", captionFont("Scale"), 18, true},   {"Text4", w->Text4->font(), 18, true},
      {"On COM", captionFont("On COM"), 8, true},  {"Text11", w->Text11->font(), 8, true},
      {"Command2", w->Command2->font(), 12, true}, {"Command1", w->Command1->font(), 13.5, true},
      {"Check3", w->Check3->font(), 8, true},      {"Check4", w->Check4->font(), 8, false},
      {"Price", captionFont("Price"), 8, false},   {"Code", captionFont("Code"), 8, false}};
  for (const auto& [name, font, points, bold] : fonts) {
    EXPECT_EQ(font.pointSizeF(), points) << name;
    EXPECT_EQ(font.bold(), bold) << name;
  }
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

TEST_F(StationWindowTest, SelectingAProductShowsItsFields) {
  auto w = OpenWith(3);
  w->Combo1->setCurrentIndex(2);
  ExpectBoxes(
      {w->Text8, w->Text1, w->Text3, w->Text9, w->Text10, w->Text2, w->Text6},
      {"3", "3000", "3.99", "0.015", "3", "Item 3                  ", "Line two 3              "});
}

// Leaving a product box commits it to the product shown (record 2, from byte 150): the
// box is rewritten, its field written, every other byte kept. A value that does not fit
// is refused with a message and the stored value shown again.
TEST_F(StationWindowTest, LeavingABoxCommitsIt) {
  using Edit = std::function<void(RecordBytes&)>;
  const std::tuple<QLineEdit * StationWindow::*, const char*, const char*, Edit> rows[] = {
      {&StationWindow::Text1, "4711x", "4711", [](auto& f) { PutInt64(f, 150, 47110000); }},
      {&StationWindow::Text3, "2.456", "2.46", [](auto& f) { PutInt64(f, 160, 24600); }},
      {&StationWindow::Text3, "free", "0.00", [](auto& f) { PutInt64(f, 160, 0); }},
      {&StationWindow::Text9, "0.1234", "0.123", [](auto& f) { PutFloat32(f, 250, 0.123f); }},
      {&StationWindow::Text10, "7.5", "7.5", [](auto& f) { PutInt16(f, 172, 8); }},  // to even
      {&StationWindow::Text10, "6.5", "6.5", [](auto& f) { PutInt16(f, 172, 6); }},
      {&StationWindow::Text2, "abcdefghijklmnopqrstuvwxyz12", "abcdefghijklmnopqrstuvwxyz12",
       [](auto& f) { PutTextField(f, 174, 24, "abcdefghijklmnopqrstuvwx"); }},
      {&StationWindow::Text2, "Item 2                  ", "Item 2                  ",
       [](auto& f) { PutTextField(f, 174, 24, "Item 2"); }},
      {&StationWindow::Text1, "1e15", "2000", {}},
      {&StationWindow::Text1, "1e999", "2000", {}},
      {&StationWindow::Text3, "-1e300", "2.99", {}},
      {&StationWindow::Text10, "32767.5", "2", {}},
      {&StationWindow::Text9, "1e39", "0.015", {}},
  };
  for (const auto& [box, typed, shown, edit] : rows) {
    SCOPED_TRACE(typed);
    messages.messages.clear();
    auto w = OpenWith(3);
    w->Combo1->setCurrentIndex(1);
    RecordBytes expected = ReadAllBytes(productPath);
    TypeAndLeave((*w).*box, typed);
    EXPECT_EQ(((*w).*box)->text(), shown);
    if (edit) edit(expected);
    EXPECT_EQ(ReadAllBytes(productPath), expected);
    EXPECT_EQ(messages.messages.size(), edit ? 0u : 1u);
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
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->EndedDocuments(), 1);
  EXPECT_EQ(GetInt64(ReadAllBytes(productPath), 10), 24600);
  EXPECT_EQ(surface->Texts()[surface->Texts().size() - 2].text, "2.46") << "price per kilogram";
}

TEST_F(StationWindowTest, AddNewItemOnAThreeProductFile) {
  auto w = OpenWith(3);
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  EXPECT_EQ(w->Combo1->count(), 4);
  EXPECT_EQ(w->Combo1->currentIndex(), 3);
  EXPECT_EQ(w->Text8->text(), "4");
  EXPECT_EQ(w->Text2->text(), "New Item                ");
  RecordBytes expected = test::ProductFileBytes(3);
  const RecordBytes added = test::NewItemRecord("New Item");
  expected.insert(expected.end(), added.begin(), added.end());
  EXPECT_EQ(ReadAllBytes(productPath), expected);
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(StationWindowTest, ResetListAsksFirst) {
  for (const auto& [yes, row, useDateCentre] :
       {std::tuple{false, 0, "1"}, {true, 0, "2675"}, {true, 1, "1200"}}) {
    store.Save("Zebra", "UseDatecenter", "1");
    messages.answerYes = yes;
    auto w = Open();
    const QPoint at = w->List1->visualItemRect(w->List1->item(row)).center();
    QTest::mouseClick(w->List1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w->List1->viewport(), Qt::LeftButton, {}, at);
    ASSERT_FALSE(messages.questions.empty());
    EXPECT_EQ(messages.questions.back(),
              "Check Paper Size in Printer Properties Also|Are You Sure|No");
    EXPECT_EQ(store.Get("Zebra", "UseDatecenter"), useDateCentre);
  }
}

// "On COM" shows the stored port's leading number; leaving it stores the text as typed
// and takes the number rounded, halves to even. The store name lines save separately.
TEST_F(StationWindowTest, PortAndStoreNameSettings) {
  const std::tuple<const char*, const char*, const char*, int> ports[] = {
      // {stored "COMPORT", shown at start-up, typed, port number then}
      {"3abc", "3", "2.5 x", 2},
      {"none", "0", "3.5", 4},
      {"2", "2", "COM5", 0}};
  for (const auto& [stored, shown, typed, port] : ports) {
    SCOPED_TRACE(typed);
    store.Save("Zebra", "COMPORT", stored);
    auto w = Open();
    EXPECT_EQ(w->Text11->text(), shown);
    TypeAndLeave(w->Text11, typed);
    EXPECT_EQ(w->PortNumber(), port);
    EXPECT_EQ(store.Get("Zebra", "COMPORT"), typed);
  }
  auto w = Open();
  TypeAndLeave(w->Text12, "Main Street");
  EXPECT_EQ(store.Get("Zebra", "Storename12"), "Main Street");
  EXPECT_FALSE(store.Get("Zebra", "Storename1").has_value());
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

}  // namespace
}  // namespace corvel
