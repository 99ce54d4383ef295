// The product file's rules on real files, and the real station window (offscreen) driven
// as an operator drives it, with its live label preview.
#include <gtest/gtest.h>

#include <QTest>

#include "common/errors.h"
#include "common/settings_sections.h"
#include "station/product_file.h"
#include "station/station_window.h"
#include "tests/faults/fault_support.h"
#include "tests/station/preview_compare.h"
#include "tests/station/station_test_support.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using test::ReadAllBytes;

RecordBytes Slice(const RecordBytes& bytes, std::size_t from, std::size_t to) {
  return RecordBytes(bytes.begin() + static_cast<long>(std::min(from, bytes.size())),
                     bytes.begin() + static_cast<long>(std::min(to, bytes.size())));
}

// `bytes` as a product file, loaded, with product 1 selected.
ProductStation Loaded(const RecordBytes& bytes) {
  const QString path = test::MakeTempFolder() + "/pdlist";
  test::WriteAllBytes(path, bytes);
  ProductStation station(path.toStdString());
  LoadProductFile(station);
  station.selected = 1;
  return station;
}

RecordBytes FileOf(const ProductStation& station) {
  return ReadAllBytes(QString::fromStdString(station.file.Path()));
}

// Stores `value` in the field of a product record that `box` edits.
void PutField(RecordBytes& record, ProductBox box, const std::string& value) {
  if (box == ProductBox::Code || box == ProductBox::Price)
    return PutInt64(record, box == ProductBox::Code ? 0 : 10, std::stoll(value));
  if (box == ProductBox::ShelfLife)
    return PutInt16(record, 22, static_cast<std::int16_t>(std::stoi(value)));
  const int line = static_cast<int>(box) - static_cast<int>(ProductBox::Description1);
  PutTextField(record, 24 + 24 * static_cast<std::size_t>(line), 24, value);
}

// A selector entry and the record it stands for never disagree, and "Add New Item" never
// overwrites a loaded product (225 bytes: record 2 is loaded half, the new item is record
// 3), nor, with the table full, the records beyond the 5000 it holds.
TEST(ProductFile, LoadsThenAddsAfterTheLoadedRecords) {
  struct Case {
    int length;           // of the file; -1: no file
    std::size_t entries;  // products loaded
    bool notice = false;  // the operator is told something
  };
  const Case cases[] = {{.length = -1, .entries = 1},
                        {.length = 10, .entries = 1},
                        {.length = 75, .entries = 0, .notice = true},
                        {.length = 76, .entries = 1},
                        {.length = 225, .entries = 2},
                        {.length = 375, .entries = 2},
                        {.length = 600, .entries = 4},
                        {.length = 5002 * 150, .entries = 5000, .notice = true}};
  for (const auto& [length, entries, notice] : cases) {
    SCOPED_TRACE(length);
    const QString path = test::MakeTempFolder() + "/pdlist";
    RecordBytes original = test::ProductFileBytes(std::max(length, 0) / 150 + 1);
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
    if (entries == 5000) {
      EXPECT_THROW(AddNewItem(station), Failure) << "the table is full";
      EXPECT_EQ(ReadAllBytes(path), original);
      continue;
    }
    EXPECT_EQ(AddNewItem(station), "New Item                ");
    const RecordBytes after = ReadAllBytes(path);
    EXPECT_EQ(Slice(after, 0, entries * 150), kept);
    EXPECT_EQ(Slice(after, entries * 150, entries * 150 + 150), test::NewItemRecord("New Item"));
    EXPECT_EQ(station.Count(), entries + 1);
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
    EXPECT_EQ(station.table, loaded.table);
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
      {.box = B::Price, .typed = "1.994", .shown = "1.99"},
      {.box = B::Tare, .typed = "0.015"},                    // compared as the stored float
      {.box = B::ShelfLife, .typed = "6.5", .stored = "6"},  // halves to even
      {.box = B::Description1,
       .typed = "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
       .stored = "ABCDEFGHIJKLMNOPQRSTUVWX"},
      {.box = B::Code, .typed = "1e15", .shown = "1000", .refusal = "922337203685477.5807"},
      {.box = B::ShelfLife, .typed = "32767.5", .shown = "1", .refusal = "-32768 to 32767 days"},
      {.box = B::Tare, .typed = "1e39", .shown = "0.015", .refusal = "about -3.4E+38 to 3.4E+38"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed);
    RecordBytes expected = test::ProductFileBytes(1);
    ProductStation station = Loaded(expected);
    const CommitResult result = CommitProductBox(station, row.box, row.typed);
    EXPECT_EQ(result.boxText, row.shown ? row.shown : row.typed);
    EXPECT_EQ(result.written, row.stored != nullptr);
    if (row.stored) PutField(expected, row.box, row.stored);
    EXPECT_EQ(FileOf(station), expected);
    EXPECT_EQ(result.message.empty(), !row.refusal) << result.message;
    EXPECT_NE(result.message.find(row.refusal ? row.refusal : ""), std::string::npos);
  }
}

// "Non Weighed", the 16-bit flag at offset 18: only FFFF hex shows ticked, and a click
// stores FFFF hex or 0.
TEST(ProductFile, NonWeighedFlag) {
  for (const auto& [flag, ticked] : {std::pair<int, bool>{-1, true}, {1, false}, {0, false}}) {
    RecordBytes file = test::ProductFileBytes(1);
    PutInt16(file, 18, static_cast<std::int16_t>(flag));
    ProductStation station = Loaded(file);
    EXPECT_EQ(ShowSelectedProduct(station)->nonWeighed, ticked) << flag;
    EXPECT_TRUE(CommitNonWeighed(station, !ticked).written);
    PutInt16(file, 18, ticked ? 0 : -1);
    EXPECT_EQ(FileOf(station), file);
  }
}

class StationWindowTest : public ::testing::Test {
 protected:
  // Labels go as PDF documents into pdfFolder_.
  std::unique_ptr<StationWindow> Open() {
    return test::OpenStation(store_, messages_, folder_, pdfFolder_);
  }

  QString folder_ = test::MakeTempFolder(), productPath_ = folder_ + "/pdlist";
  QString pdfFolder_ = test::MakeTempFolder();
  MemorySettingsStore store_;
  test::FakeMessages messages_;
};

// Whatever is typed, wherever the cursor was put by mouse or key, is stored when the box
// is left, through the box's rule; passing through stores nothing. Description lines show
// up to their first zero byte (lines 2 and 3 of a product the station creates are all
// zero bytes), so nothing typed lands behind invisible characters.
TEST_F(StationWindowTest, TypingIsNeverLostAndLeavingABoxCommitsIt) {
  enum Cursor { PassThrough, End, ClickAtRight, SelectAll };
  using W = StationWindow;
  using B = ProductBox;
  struct Row {
    QLineEdit* W::*box;
    ProductBox field;
    Cursor cursor;
    const char* typed;
    const char* stored = nullptr;  // the field's new value; none: unchanged
    bool refused = false;
  };
  const Row rows[] = {
      {&W::Text6, B::Description2, End, " off", "Ham off"},
      {&W::Text6, B::Description2, PassThrough, ""},
      {&W::Text7, B::Description3, ClickAtRight, "Thin", "Thin"},
      // Behind the padding of line 1: the padding gives way to what was typed.
      {&W::Text2, B::Description1, End, "Fresh", "Product            Fresh"},
      {&W::Text1, B::Code, SelectAll, "4711x", "47110000"},
      {&W::Text9, B::Tare, SelectAll, "1e39", nullptr, true},
  };
  RecordBytes original = test::NewItemRecord("Product");
  std::copy_n("Ham", 3, original.begin() + 48);  // then zero bytes
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.typed) + " " + std::to_string(row.cursor));
    messages_.messages.clear();
    test::WriteAllBytes(productPath_, original);
    auto w = Open();
    QLineEdit* box = (*w).*row.box;
    if (row.cursor == ClickAtRight)
      QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 4, box->height() / 2));
    else
      box->setFocus(Qt::TabFocusReason);
    if (row.cursor == End) QTest::keyClick(box, Qt::Key_End);
    if (row.cursor == SelectAll) box->selectAll();
    QTest::keyClicks(box, row.typed);
    QTest::keyClick(box, Qt::Key_Tab);
    RecordBytes expected = original;
    if (row.stored) PutField(expected, row.field, row.stored);
    EXPECT_EQ(ReadAllBytes(productPath_), expected);
    EXPECT_EQ(messages_.messages.size(), row.refused ? 1u : 0u);
  }
}

// A typed weight keeps three decimals when the box is left (1.2345 shows 1.235), and a
// pending edit is committed, against the product shown, before the button acts: 1.235
// less the tare of 0.015 at 2.46 a kilogram is 3.00.
TEST_F(StationWindowTest, PrintCommitsThePendingEditFirst) {
  test::WriteAllBytes(productPath_, test::ProductFileBytes(2));
  auto w = Open();
  test::TypeAndLeave(w->Text4, "1.2345");
  EXPECT_EQ(w->Text4->text(), "1.235");
  w->Text3->setFocus(Qt::MouseFocusReason);
  w->Text3->selectAll();
  QTest::keyClicks(w->Text3, "2.456");
  QTest::mouseClick(w->Command1, Qt::LeftButton);
  EXPECT_EQ(GetInt64(ReadAllBytes(productPath_), 10), 24600);
  const QStringList pdfs = test::ListPdfFiles(pdfFolder_);
  ASSERT_EQ(pdfs.size(), 1);
  QStringList words;
  for (const test::PdfWord& word : test::PdfWords(pdfs[0]))
    words << word.text;
  for (const char* printed : {"1.220", "3.00", "2.46"})
    EXPECT_TRUE(words.contains(printed)) << printed << " in " << words.join(' ').toStdString();
}

// The preview (shown with Ctrl+L, remembered, redrawn as the boxes change) and the printed
// PDF at the preview's resolution are the same label.
TEST_F(StationWindowTest, SameLabelAsThePrintedPdf) {
  auto w = Open();
  QTest::keyClick(w->Text2, Qt::Key_L, Qt::ControlModifier);
  ASSERT_TRUE(w->Preview->isVisible());
  EXPECT_EQ(store_.Get(kStationSection, "ShowPreview"), "True");
  test::TypeLegHam(*w);
  QCoreApplication::processEvents();
  const int dpi = w->Preview->RasterDpi();
  ASSERT_FALSE(w->Preview->Raster().isNull()) << w->Preview->Problem().toStdString();
  EXPECT_FALSE(store_.Get(kStationSection, "DateTop").has_value()) << "a preview writes nothing";
  w->Command1->click();
  const QStringList pdfs = test::ListPdfFiles(pdfFolder_);
  ASSERT_EQ(pdfs.size(), 1);
  test::ExpectSameLabel(w->Preview->Raster(), dpi, pdfs[0]);
}

}  // namespace
}  // namespace corvel
