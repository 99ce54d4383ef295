// The Qt print surface writing real PDF files: where text and rectangles land, the
// metrics it reports, the pages and files it produces.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <cmath>
#include <limits>

#include "common/errors.h"
#include "platform/printing.h"
#include "platform/qt_print_surface.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using test::ListPdfFiles;
using test::MakeTempFolder;
using test::PdfWords;

PrinterTarget PdfTarget(const QString& folder, double widthMm = 60, double heightMm = 40) {
  PrinterTarget target;
  target.kind = PrinterTarget::Kind::PdfFolder;
  target.pdfFolder = folder.toStdString();
  target.program = "surfacetest";
  target.pageWidthMm = widthMm;
  target.pageHeightMm = heightMm;
  return target;
}

// Every entry of a folder, hidden files included.
QStringList AllEntries(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

const test::PdfWord* FindWord(const std::vector<test::PdfWord>& words, const QString& text) {
  for (const auto& word : words) {
    if (word.text == text) return &word;
  }
  return nullptr;
}

class SurfacePdfTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { SetUpFonts(); }
};

struct TextPlace {
  const char* name;
  const char* font;
  double size;
  bool bold;
  double x, y;  // twips
};

class TextPlacement : public SurfacePdfTest, public ::testing::WithParamInterface<TextPlace> {};

TEST_P(TextPlacement, TopLeftOfTheTextIsAtTheCursor) {
  const TextPlace& row = GetParam();
  const QString folder = MakeTempFolder();
  QtPrintSurface surface(PdfTarget(folder, 150, 100));
  surface.SetFontName(row.font);
  surface.SetFontSize(row.size);
  surface.SetBold(row.bold);
  surface.SetCurrentX(row.x);
  surface.SetCurrentY(row.y);
  surface.Print("HELLO", false);
  surface.EndDoc();

  const QStringList files = ListPdfFiles(folder);
  ASSERT_EQ(files.size(), 1);
  const auto words = PdfWords(files[0]);
  const test::PdfWord* word = FindWord(words, "HELLO");
  ASSERT_NE(word, nullptr);
  // The word's box starts at the cursor; its top is the font's ascent above the
  // baseline, which the surface puts at CurrentY + ascent.
  EXPECT_NEAR(word->xMin, row.x / 20, 1.5);
  EXPECT_NEAR(word->yMin, row.y / 20, 2.0);
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, TextPlacement,
    ::testing::Values(TextPlace{"TahomaSmallAtOrigin", "Tahoma", 8, false, 0, 0},
                      TextPlace{"TahomaInside", "Tahoma", 12, false, 1440, 720},
                      TextPlace{"TahomaBoldLarge", "Tahoma", 36, true, 2000, 1500},
                      TextPlace{"TimesInside", "Times New Roman", 12, false, 300, 2500},
                      TextPlace{"TimesFractionalSize", "Times New Roman", 7.5, false, 4321, 123}),
    [](const auto& info) { return std::string(info.param.name); });

struct MetricRow {
  const char* name;
  const char* font;
  double size;
  bool bold;
};

class Metrics : public SurfacePdfTest, public ::testing::WithParamInterface<MetricRow> {};

// Widths are advances and heights line spacings of the font at points x 20 pixels; the
// PDF shows the next text starting exactly one width to the right and the next line one
// height lower.
TEST_P(Metrics, WidthAndHeightMatchTheFontAndTheDrawing) {
  const MetricRow& row = GetParam();
  const QString folder = MakeTempFolder();
  QtPrintSurface surface(PdfTarget(folder, 200, 200));
  surface.SetFontName(row.font);
  surface.SetFontSize(row.size);
  surface.SetBold(row.bold);

  QFont font(row.font);
  font.setPixelSize(static_cast<int>(std::lround(row.size * 20)));
  font.setBold(row.bold);
  const QFontMetricsF metrics(font);
  const double width = surface.TextWidth("Wide ");
  EXPECT_NEAR(width, metrics.horizontalAdvance("Wide "), 0.01 * width);
  const double height = surface.TextHeight("Wide");
  EXPECT_NEAR(height, metrics.lineSpacing(), 0.01 * height);
  // Line spacing is at least the em size (Tahoma's equals it): a font set by point size
  // under the twips scale would come out at about 83 % of it.
  EXPECT_GE(height, row.size * 20 * 0.99);
  EXPECT_LT(height, row.size * 20 * 1.4);
  EXPECT_EQ(surface.TextHeight(""), height);

  surface.SetCurrentX(500);
  surface.SetCurrentY(400);
  surface.Print("Wide ", false);
  EXPECT_DOUBLE_EQ(surface.CurrentX(), 500 + width);
  EXPECT_DOUBLE_EQ(surface.CurrentY(), 400);
  surface.Print("Next", true);
  EXPECT_DOUBLE_EQ(surface.CurrentX(), 0);
  EXPECT_DOUBLE_EQ(surface.CurrentY(), 400 + height);
  surface.SetCurrentX(500);
  surface.Print("Below", true);
  surface.EndDoc();

  const auto words = PdfWords(ListPdfFiles(folder).value(0));
  const auto* wide = FindWord(words, "Wide");
  const auto* next = FindWord(words, "Next");
  const auto* below = FindWord(words, "Below");
  ASSERT_TRUE(wide && next && below);
  EXPECT_NEAR(next->xMin, (500 + width) / 20, 1.0);
  EXPECT_NEAR(below->yMin - wide->yMin, height / 20, 0.5);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Metrics,
                         ::testing::Values(MetricRow{"Tahoma6", "Tahoma", 6, false},
                                           MetricRow{"Tahoma10", "Tahoma", 10, false},
                                           MetricRow{"TahomaBold14", "Tahoma", 14, true},
                                           MetricRow{"Tahoma48", "Tahoma", 48, false},
                                           MetricRow{"Times12", "Times New Roman", 12, false},
                                           MetricRow{"Times30", "Times New Roman", 30, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SurfacePdfTest, FontsResolveToTheFamiliesReallyUsed) {
  struct Row {
    const char* requested;
    const char* used;
  } rows[] = {{"Tahoma", "Tahoma"}, {"Times New Roman", "Liberation Serif"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.requested);
    EXPECT_EQ(ResolvedFontFamily(row.requested), row.used);
  }
}

TEST_F(SurfacePdfTest, PdfEmbedsTheResolvedFonts) {
  const QString folder = MakeTempFolder();
  QtPrintSurface surface(PdfTarget(folder));
  surface.SetFontName("Tahoma");
  surface.Print("one", true);
  surface.SetFontName("Times New Roman");
  surface.Print("two", true);
  surface.EndDoc();
  const test::RunResult fonts = test::RunProgram("pdffonts", {ListPdfFiles(folder).value(0)});
  EXPECT_TRUE(fonts.out.contains("Tahoma")) << fonts.out.toStdString();
  EXPECT_TRUE(fonts.out.contains("LiberationSerif")) << fonts.out.toStdString();
}

struct RectRow {
  const char* name;
  double x1, y1, x2, y2;
  std::int32_t colour;
  int grey;  // expected grey level inside
};

class Rectangles : public SurfacePdfTest, public ::testing::WithParamInterface<RectRow> {};

// At 1440 dpi one pixel is one twip: the filled area starts and ends at the corners.
TEST_P(Rectangles, FillExactlyBetweenTheCorners) {
  const RectRow& row = GetParam();
  const QString folder = MakeTempFolder();
  QtPrintSurface surface(PdfTarget(folder, 40, 20));
  surface.FillRect(row.x1, row.y1, row.x2, row.y2, row.colour);
  surface.EndDoc();
  const QImage image = test::RasterisePdf(ListPdfFiles(folder).value(0), 1440);
  ASSERT_FALSE(image.isNull());
  const int left = static_cast<int>(std::min(row.x1, row.x2));
  const int right = static_cast<int>(std::max(row.x1, row.x2));
  const int top = static_cast<int>(std::min(row.y1, row.y2));
  const int bottom = static_cast<int>(std::max(row.y1, row.y2));
  const int midX = (left + right) / 2, midY = (top + bottom) / 2;
  auto grey = [&](int x, int y) { return qGray(image.pixel(x, y)); };
  EXPECT_NEAR(grey(midX, midY), row.grey, 12);
  // Inside next to every edge, and outside beyond it (one pixel of rounding allowed).
  EXPECT_NEAR(grey(left + 1, midY), row.grey, 12);
  EXPECT_NEAR(grey(right - 2, midY), row.grey, 12);
  EXPECT_NEAR(grey(midX, top + 1), row.grey, 12);
  EXPECT_NEAR(grey(midX, bottom - 2), row.grey, 12);
  EXPECT_EQ(grey(left - 2, midY), 255);
  EXPECT_EQ(grey(right + 1, midY), 255);
  EXPECT_EQ(grey(midX, top - 2), 255);
  EXPECT_EQ(grey(midX, bottom + 1), 255);
}

INSTANTIATE_TEST_SUITE_P(
    Corners, Rectangles,
    ::testing::Values(RectRow{"Black", 100, 200, 400, 500, 0, 0},
                      RectRow{"OneModuleWide", 1000, 100, 1022, 900, 0, 0},
                      RectRow{"ReversedCorners", 900, 800, 600, 300, 0, 0},
                      RectRow{"FractionalTwips", 300.4, 250.6, 700.4, 650.6, 0, 0},
                      // 0x00BBGGRR: pure red is darker in grey than pure blue is light.
                      RectRow{"Red", 100, 100, 600, 600, 0x0000FF, 76},
                      RectRow{"Blue", 100, 100, 600, 600, 0xFF0000, 29},
                      RectRow{"MidGrey", 100, 100, 600, 600, 0x808080, 128}),
    [](const auto& info) { return std::string(info.param.name); });

struct PageRow {
  const char* name;
  double widthMm, heightMm;  // the target's own size
  int paperSize;             // 0: not set
  int orientation;           // 0: not set
  double expectWidthMm, expectHeightMm;
};

class PageSizes : public SurfacePdfTest, public ::testing::WithParamInterface<PageRow> {};

TEST_P(PageSizes, ReadableBeforeDrawingAndMatchTheDocument) {
  const PageRow& row = GetParam();
  const QString folder = MakeTempFolder();
  QtPrintSurface surface(PdfTarget(folder, row.widthMm, row.heightMm));
  if (row.paperSize) surface.SetPaperSize(row.paperSize);
  if (row.orientation) surface.SetOrientation(row.orientation);
  const double twipsPerMm = 1440 / 25.4;
  EXPECT_NEAR(surface.PageWidth(), row.expectWidthMm * twipsPerMm, 2);
  EXPECT_NEAR(surface.PageHeight(), row.expectHeightMm * twipsPerMm, 2);

  surface.FillRect(0, 0, 100, 100, 0);
  surface.EndDoc();
  const QImage image = test::RasterisePdf(ListPdfFiles(folder).value(0), 72);
  EXPECT_NEAR(image.width(), row.expectWidthMm / 25.4 * 72, 1.5);
  EXPECT_NEAR(image.height(), row.expectHeightMm / 25.4 * 72, 1.5);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PageSizes,
    ::testing::Values(PageRow{"OwnLabelSize", 60, 40, 0, 0, 60, 40},
                      PageRow{"NoSizeIsA4", 0, 0, 0, 0, 210, 297},
                      PageRow{"A4Code", 60, 40, kPaperA4, 0, 210, 297},
                      PageRow{"A5Landscape", 60, 40, kPaperA5, kLandscape, 210, 148},
                      PageRow{"A5Portrait", 0, 0, kPaperA5, kPortrait, 148, 210},
                      PageRow{"UserSizeKeepsOwnSize", 100, 150, kPaperUser, kPortrait, 100, 150},
                      PageRow{"LetterCode", 60, 40, 1, 0, 215.9, 279.4},
                      PageRow{"UnknownCodeKeepsOwnSize", 60, 40, 9999, 0, 60, 40}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SurfacePdfTest, PagesCountAndTrailingNewPageAddsNoBlankPage) {
  const QString folder = MakeTempFolder();
  QtPrintSurface surface(PdfTarget(folder));
  EXPECT_EQ(surface.Page(), 1);
  surface.Print("first", true);
  surface.NewPage();
  EXPECT_EQ(surface.Page(), 2);
  surface.Print("second", true);
  surface.NewPage();
  surface.SetCurrentX(720);
  surface.SetCurrentY(720);
  surface.Print("third", true);
  surface.NewPage();  // requested after the last item: no blank page
  EXPECT_EQ(surface.Page(), 4);
  surface.EndDoc();
  EXPECT_EQ(surface.Page(), 1);

  const QString pdf = ListPdfFiles(folder).value(0);
  EXPECT_EQ(test::PdfPageCount(pdf), 3);
  const auto words = PdfWords(pdf);
  const auto* third = FindWord(words, "third");
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(third->page, 3);
  // The twips scale holds on later pages too.
  EXPECT_NEAR(third->xMin, 36, 1.5);
  EXPECT_NEAR(third->yMin, 36, 2);
}

TEST_F(SurfacePdfTest, EachDocumentIsOneFileAndNothingDrawnWritesNothing) {
  const QString folder = MakeTempFolder();
  QtPrintSurface surface(PdfTarget(folder));
  surface.EndDoc();
  EXPECT_TRUE(AllEntries(folder).isEmpty());
  for (int i = 0; i < 3; ++i) {
    surface.Print("label", true);
    surface.EndDoc();
  }
  EXPECT_EQ(ListPdfFiles(folder).size(), 3);
  EXPECT_EQ(AllEntries(folder).size(), 3);  // no temporary file left behind
}

TEST_F(SurfacePdfTest, AbandonedDocumentLeavesNoFile) {
  const QString folder = MakeTempFolder();
  {
    QtPrintSurface surface(PdfTarget(folder));
    surface.Print("thrown away", true);
    surface.FillRect(0, 0, 500, 500, 0);
    surface.AbortDoc();
    EXPECT_EQ(surface.Page(), 1);
    EXPECT_TRUE(AllEntries(folder).isEmpty());
    surface.Print("kept", true);
    surface.EndDoc();
    ASSERT_EQ(ListPdfFiles(folder).size(), 1);
    surface.Print("never ended", true);
  }  // destroyed with a document open
  ASSERT_EQ(AllEntries(folder).size(), 1);
  EXPECT_NE(FindWord(PdfWords(ListPdfFiles(folder)[0]), "kept"), nullptr);
}

TEST_F(SurfacePdfTest, UnwritableFolderThrowsPrintError) {
  const QString folder = MakeTempFolder();
  QFile blocker(folder + "/not-a-folder");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  QtPrintSurface surface(PdfTarget(folder + "/not-a-folder/PDF"));
  EXPECT_THROW(surface.Print("x", true), PrintError);
  EXPECT_THROW(surface.FillRect(0, 0, 10, 10, 0), PrintError);
  surface.EndDoc();  // nothing open: no failure
}

TEST_F(SurfacePdfTest, MissingFolderIsCreated) {
  const QString folder = MakeTempFolder() + "/new/PDF";
  QtPrintSurface surface(PdfTarget(folder));
  surface.Print("x", true);
  surface.EndDoc();
  EXPECT_EQ(ListPdfFiles(folder).size(), 1);
}

TEST_F(SurfacePdfTest, FontSizesOutsideTheRangeThrowAndKeepTheSize) {
  QtPrintSurface surface(PdfTarget(MakeTempFolder()));
  surface.SetFontSize(12);
  for (double bad : {0.0, 0.99, -5.0, 1638.5, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(surface.SetFontSize(bad), PrintError);
    EXPECT_EQ(surface.FontSize(), 12);
  }
  for (double good : {1.0, 1638.0}) {
    EXPECT_NO_THROW(surface.SetFontSize(good));
    EXPECT_EQ(surface.FontSize(), good);
  }
}

TEST_F(SurfacePdfTest, FontAndBoldCarryOverButTheCursorResets) {
  QtPrintSurface surface(PdfTarget(MakeTempFolder()));
  surface.SetFontName("Times New Roman");
  surface.SetFontSize(20);
  surface.SetBold(true);
  surface.SetCurrentX(300);
  surface.SetCurrentY(400);
  surface.Print("doc", false);
  surface.EndDoc();
  EXPECT_EQ(surface.FontName(), "Times New Roman");
  EXPECT_EQ(surface.FontSize(), 20);
  EXPECT_TRUE(surface.Bold());
  EXPECT_EQ(surface.CurrentX(), 0);
  EXPECT_EQ(surface.CurrentY(), 0);
}

}  // namespace
}  // namespace corvel
