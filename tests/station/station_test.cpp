// The product file on real files, and the real station window (offscreen) driven as an
// operator drives it, with its live label preview.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>
#include <map>

#include "common/errors.h"
#include "common/settings_sections.h"
#include "platform/printing.h"
#include "station/label_layout.h"
#include "station/product_file.h"
#include "station/scale_link.h"
#include "station/station_window.h"
#include "tests/faults/fault_support.h"
#include "tests/station/station_test_support.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/recording_surface.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using test::ReadAllBytes;

RecordBytes Slice(const RecordBytes& bytes, std::size_t from, std::size_t to) {
  return RecordBytes(bytes.begin() + static_cast<long>(std::min(from, bytes.size())),
                     bytes.begin() + static_cast<long>(std::min(to, bytes.size())));
}

// A selector entry and the record it stands for never disagree, and "Add New Item" never
// overwrites a loaded product (225 bytes: record 2 is loaded half, the new item is record 3).
TEST(ProductFile, LoadsThenAddsAfterTheLoadedRecords) {
  struct Case {
    int length;           // of the file; -1: no file
    std::size_t entries;  // products loaded
    bool notice = false;  // the operator is told something
  };
  const Case cases[] = {{.length = -1, .entries = 1},
                        {.length = 10, .entries = 1},
                        {.length = 11, .entries = 0, .notice = true},
                        {.length = 75, .entries = 0, .notice = true},
                        {.length = 76, .entries = 1},
                        {.length = 225, .entries = 2},
                        {.length = 375, .entries = 2},
                        {.length = 600, .entries = 4}};
  for (const auto& [length, entries, notice] : cases) {
    SCOPED_TRACE(length);
    const QString path = test::MakeTempFolder() + "/pdlist";
    RecordBytes original = test::ProductFileBytes(4);
    original.resize(static_cast<std::size_t>(std::max(length, 0)));
    if (length >= 0) test::WriteAllBytes(path, original);
    if (length <= 10) original = test::NewItemRecord("Product");

    ProductStation station(path.toStdString());
    const LoadResult loaded = LoadProductFile(station);
    ASSERT_EQ(loaded.entries.size(), entries);
    EXPECT_EQ(!loaded.notice.empty(), notice) << loaded.notice;
    EXPECT_TRUE(length <= 10 || ReadAllBytes(path) == original) << "loading changed the file";
    // A short last record is completed with zeros, in the table and, once a new item is
    // added after it, in the file.
    RecordBytes kept = Slice(original, 0, entries * 150);
    kept.resize(entries * 150, 0);
    for (std::size_t k = 0; k < entries; ++k)
      EXPECT_EQ(station.table[k + 1].Bytes(), Slice(kept, k * 150, k * 150 + 150)) << k + 1;

    EXPECT_EQ(AddNewItem(station), "New Item                ");
    const RecordBytes after = ReadAllBytes(path);
    EXPECT_EQ(Slice(after, 0, entries * 150), kept);
    EXPECT_EQ(Slice(after, entries * 150, entries * 150 + 150), test::NewItemRecord("New Item"));
    EXPECT_EQ(station.Count(), entries + 1);
  }
}

TEST(ProductFile, MoreThan5000RecordsLoadTheFirst5000AndKeepTheRest) {
  for (const int count : {5000, 5002}) {
    SCOPED_TRACE(count);
    const QString path = test::MakeTempFolder() + "/pdlist";
    const RecordBytes original = test::ProductFileBytes(count);
    test::WriteAllBytes(path, original);
    ProductStation station(path.toStdString());
    const LoadResult loaded = LoadProductFile(station);
    EXPECT_EQ(loaded.entries.size(), 5000u);
    EXPECT_EQ(loaded.notice.empty(), count == 5000) << loaded.notice;
    EXPECT_THROW(AddNewItem(station), Failure) << "the table is full";
    station.selected = 5000;
    EXPECT_TRUE(CommitProductBox(station, ProductBox::Description2, "Last").written);
    const RecordBytes after = ReadAllBytes(path);
    ASSERT_EQ(after.size(), original.size());
    EXPECT_EQ(Slice(after, 5000 * 150, after.size()), Slice(original, 5000 * 150, after.size()));
  }
}

// A write the file system refuses half way (a full disk; here a file size limit a few
// bytes above the file, so the first bytes of the record go in) is reported, and file and
// table stay as they were: the first start's new file, and an edit of a short last record
// (400 bytes: the third record cut, overwritten and extended at once).
TEST(ProductFile, FailedWritesLeaveTheFileAsItWas) {
  for (const int length : {0, 400}) {
    SCOPED_TRACE(length);
    const QString path = test::MakeTempFolder() + "/pdlist";
    RecordBytes original = test::ProductFileBytes(3);
    original.resize(static_cast<std::size_t>(length));
    test::WriteAllBytes(path, original);
    ProductStation station(path.toStdString());
    if (length > 0) LoadProductFile(station);
    const ProductStation loaded = station;
    {
      const test::FileSizeLimit limit(static_cast<rlim_t>(length + 46));
      if (length == 0) {
        EXPECT_THROW(LoadProductFile(station), IoError);
      } else {
        station.selected = 3;
        EXPECT_NE(CommitProductBox(station, ProductBox::Description1, "Changed").message, "");
      }
    }
    EXPECT_EQ(ReadAllBytes(path), original);
    EXPECT_TRUE(station.table == loaded.table);
  }
}

// The selector names a product by the first description line that shows something (up
// to its first zero byte, spaces trimmed), else by its record number.
TEST(ProductFile, SelectorNames) {
  struct Row {
    std::string line1, line2;  // each followed by zero bytes; line 3 all zero bytes
    const char* name;
  };
  const Row rows[] = {
      {.line1 = "", .line2 = "", .name = "7"},
      {.line1 = "", .line2 = "Ham", .name = "Ham"},
      {.line1 = "        ", .line2 = "  Beef  ", .name = "Beef"},
      {.line1 = std::string("Lamb\0xyz", 8), .line2 = "", .name = "Lamb"},
  };
  for (const auto& [line1, line2, name] : rows) {
    RecordBytes bytes(150, 0);
    std::copy(line1.begin(), line1.end(), bytes.begin() + 24);
    std::copy(line2.begin(), line2.end(), bytes.begin() + 48);
    EXPECT_EQ(ProductRecord(bytes).SelectorName(7), name) << line1 << "|" << line2;
  }
}

// Leaving a box with product 1 (code 1000, price 1.99, tare 0.015, 1 day) selected: the
// box is rewritten and the value read back from the rewritten text; a value equal to the
// stored one writes nothing, one that does not fit is refused with its range.
TEST(ProductFile, BoxEditRules) {
  using B = ProductBox;
  struct Row {
    ProductBox box;
    const char* typed;
    const char* shown = nullptr;    // none: as typed
    const char* stored = nullptr;   // the field's new value; none: nothing written
    const char* refusal = nullptr;  // a part of the message
  };
  const Row rows[] = {
      {.box = B::Code, .typed = "4711x", .shown = "4711", .stored = "47110000"},
      {.box = B::Price, .typed = "free", .shown = "0.00", .stored = "0"},
      {.box = B::Price, .typed = "1.994", .shown = "1.99"},
      {.box = B::Tare, .typed = "0.015"},                    // compared as the stored float
      {.box = B::ShelfLife, .typed = "6.5", .stored = "6"},  // halves to even
      {.box = B::Description1,
       .typed = "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
       .stored = "ABCDEFGHIJKLMNOPQRSTUVWX"},
      {.box = B::Code, .typed = "1e15", .shown = "1000", .refusal = "922337203685477.5807"},
      {.box = B::Code, .typed = "1e999", .shown = "1000", .refusal = "code"},
      {.box = B::ShelfLife, .typed = "32767.5", .shown = "1", .refusal = "-32768 to 32767 days"},
      {.box = B::Tare, .typed = "1e39", .shown = "0.015", .refusal = "about -3.4E+38 to 3.4E+38"},
  };
  const auto put = [](RecordBytes& f, ProductBox box, const std::string& value) {
    if (box == B::Description1) return PutTextField(f, 24, 24, value);
    if (box == B::ShelfLife) return PutInt16(f, 22, static_cast<std::int16_t>(std::stoi(value)));
    PutInt64(f, box == B::Code ? 0 : 10, std::stoll(value));
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed);
    const QString path = test::MakeTempFolder() + "/pdlist";
    RecordBytes expected = test::ProductFileBytes(1);
    test::WriteAllBytes(path, expected);
    ProductStation station(path.toStdString());
    LoadProductFile(station);
    station.selected = 1;
    const CommitResult result = CommitProductBox(station, row.box, row.typed);
    EXPECT_EQ(result.boxText, row.shown ? row.shown : row.typed);
    EXPECT_EQ(result.written, row.stored != nullptr);
    if (row.stored) put(expected, row.box, row.stored);
    EXPECT_EQ(ReadAllBytes(path), expected);
    if (row.refusal)
      EXPECT_NE(result.message.find(row.refusal), std::string::npos) << result.message;
    else
      EXPECT_EQ(result.message, "");
  }
}

class StationWindowTest : public ::testing::Test {
 protected:
  // Labels go to a recording surface, or with `pdf` as PDF documents into pdfFolder_.
  std::unique_ptr<StationWindow> Open(bool pdf = false) {
    PrinterTarget target;
    if (pdf) {
      target.kind = PrinterTarget::Kind::PdfFolder;
      target.pdfFolder = pdfFolder_.toStdString();
      target.program = "tarewise";
      target.pageWidthMm = 60;
      target.pageHeightMm = 40;
    }
    auto makeSurface = [this, pdf, target]() -> std::unique_ptr<PrintSurface> {
      if (pdf) return MakePrintSurface(target);
      auto made = std::make_unique<RecordingSurface>();
      surface_ = made.get();
      return made;
    };
    auto window = std::make_unique<StationWindow>(StationServices{
        store_, messages_, clock_, target, makeSurface, productPath_.toStdString()});
    window->show();
    QApplication::setActiveWindow(window.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QCoreApplication::processEvents();
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

  // Clicks and double-clicks a row of the layout list.
  static void ResetLayout(StationWindow& w, int row) {
    const QPoint at = w.List1->visualItemRect(w.List1->item(row)).center();
    QTest::mouseClick(w.List1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w.List1->viewport(), Qt::LeftButton, {}, at);
  }

  // Where every named control of the client area stands in the window.
  static std::map<QString, QRect> ControlPlaces(StationWindow& window) {
    std::map<QString, QRect> places;
    for (QWidget* control : window.centralWidget()->findChildren<QWidget*>())
      if (!control->objectName().isEmpty())
        places[control->objectName()] =
            QRect(control->mapTo(&window, QPoint(0, 0)), control->size());
    return places;
  }

  QString productPath_ = test::MakeTempFolder() + "/pdlist";
  QString pdfFolder_ = test::MakeTempFolder();
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
    ResetLayout(*w, row);
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

TEST_F(StationWindowTest, ShownBesideTheControlsAndRemembered) {
  auto window = Open(true);
  ASSERT_TRUE(window->Preview->isHidden()) << "hidden until the operator asks for it";
  const auto places = ControlPlaces(*window);
  const int width = window->width();

  QTest::keyClick(window->Text2, Qt::Key_L, Qt::ControlModifier);
  QCoreApplication::processEvents();
  ASSERT_TRUE(window->Preview->isVisible());
  EXPECT_EQ(store_.Get(kStationSection, "ShowPreview"), "True");
  EXPECT_EQ(ControlPlaces(*window), places) << "no control moved or changed size";
  EXPECT_GE(window->Preview->geometry().left(), window->centralWidget()->geometry().right());
  EXPECT_GT(window->width(), width);
  // The label at its true proportions (60 x 40 mm).
  const QImage& label = window->Preview->Raster();
  ASSERT_FALSE(label.isNull()) << window->Preview->Problem().toStdString();
  EXPECT_NEAR(label.width() * 40.0 / 60.0, label.height(), 1.0);

  window.reset();
  window = Open(true);
  EXPECT_TRUE(window->Preview->isVisible()) << "remembered";
  window->Preview->ToggleAction()->trigger();
  EXPECT_TRUE(window->Preview->isHidden());
  EXPECT_EQ(store_.Get(kStationSection, "ShowPreview"), "False");
  EXPECT_EQ(ControlPlaces(*window), places);
}

TEST_F(StationWindowTest, RedrawsOnEveryChange) {
  test::WriteAllBytes(productPath_, test::ProductFileBytes(2));
  store_.Save(kStationSection, "ShowPreview", "True");
  auto window = Open(true);
  messages_.answerYes = true;
  const struct {
    const char* change;
    std::function<void(StationWindow&)> act;
  } cases[] = {
      {"weight from the scale", [](StationWindow& w) { w.SetWeightText("1.235 KG"); }},
      {"product selected", [](StationWindow& w) { w.Combo1->setCurrentIndex(1); }},
      {"commit",
       [](StationWindow& w) {
         w.Text2->setFocus();
         w.Text2->setText("Smoked ham");
         w.Text3->setFocus();
       }},
      {"use check digit", [](StationWindow& w) { w.Check4->click(); }},
      {"layout reset", [](StationWindow& w) { ResetLayout(w, 1); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.change);
    const int drawings = window->Preview->Drawings();
    const QImage before = window->Preview->Raster();
    c.act(*window);
    QCoreApplication::processEvents();
    EXPECT_GT(window->Preview->Drawings(), drawings);
    EXPECT_NE(window->Preview->Raster(), before) << window->Preview->Problem().toStdString();
  }
  // Drawing a preview writes nothing: the layout keys stay as the reset wrote them.
  EXPECT_EQ(LoadLabelLayout(store_), LayoutValues(LayoutSet::Default4x29));
}

// The preview and the printed PDF at the preview's resolution: every bar edge within a
// pixel, most inked dots the same (text rasterisers differ at the edges of glyphs; another
// face, a missing font, would differ in most of them), the same symbol decoded.
TEST_F(StationWindowTest, SameLabelAsThePrintedPdf) {
  store_.Save(kStationSection, "ShowPreview", "True");
  auto w = Open(true);
  w->Text1->setText("1234");
  w->Text2->setText("Leg ham");
  w->Text3->setText("12.99");
  w->Text4->setText("1.235 KG");
  w->Text9->setText("0.015");
  w->Text10->setText("3");
  w->Preview->Redraw();
  const QImage preview = w->Preview->Raster().convertToFormat(QImage::Format_Grayscale8);
  const int dpi = w->Preview->RasterDpi();
  ASSERT_FALSE(preview.isNull()) << w->Preview->Problem().toStdString();
  w->Command1->click();
  const QStringList pdfs = test::ListPdfFiles(pdfFolder_);
  ASSERT_EQ(pdfs.size(), 1);
  const QImage printed =
      test::RasterisePdf(pdfs[0], dpi).convertToFormat(QImage::Format_Grayscale8);
  ASSERT_EQ(preview.size(), printed.size()) << dpi << " dpi";
  const auto ink = [](const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; };
  const auto edges = [&](const QImage& image, int y) {  // where a row turns ink or paper
    std::vector<int> at;
    for (int x = 1; x < image.width(); ++x)
      if (ink(image, x, y) != ink(image, x - 1, y)) at.push_back(x);
    return at;
  };
  std::vector<int> barEdges;  // the row crossing the most edges lies in the bars
  int barRow = 0, differing = 0, inked = 0;
  for (int y = 0; y < printed.height(); ++y) {
    if (const auto row = edges(printed, y); row.size() > barEdges.size())
      barEdges = row, barRow = y;
    for (int x = 0; x < printed.width(); ++x) {
      differing += ink(preview, x, y) != ink(printed, x, y);
      inked += ink(printed, x, y);
    }
  }
  const std::vector<int> previewEdges = edges(preview, barRow);
  ASSERT_EQ(previewEdges.size(), barEdges.size()) << "row " << barRow;
  for (std::size_t i = 0; i < barEdges.size(); ++i)
    EXPECT_LE(std::abs(previewEdges[i] - barEdges[i]), 1) << "edge " << i;
  EXPECT_LT(differing, inked / 4);
  EXPECT_EQ(test::DecodeBarcodes(preview), test::DecodeBarcodes(printed));
}

}  // namespace
}  // namespace corvel
