// The Qt print surface writing real PDF files: where text and rectangles land, the
// metrics it reports, the pages and files it produces, and the files' names. A document
// cut short by a file size limit (as on a full disk) is removed and reported.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <chrono>
#include <cmath>
#include <limits>
#include <tuple>

#include "common/errors.h"
#include "platform/pdf_file_names.h"
#include "platform/printing.h"
#include "platform/qt_print_surface.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using test::ListPdfFiles;
using test::MakeTempFolder;
using test::PdfWords;

PrinterTarget PdfTarget(const QString& folder, double widthMm = 60, double heightMm = 40,
                        const char* program = "surfacetest", const QString& file = {}) {
  PrinterTarget target;
  target.pdfFolder = folder.toStdString();
  target.pdfFile = file.isEmpty() ? std::string() : (folder + "/" + file).toStdString();
  target.program = program;
  target.pageWidthMm = widthMm;
  target.pageHeightMm = heightMm;
  return target;
}

// Every entry of a folder, hidden files included.
QStringList AllEntries(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

const test::PdfWord* FindWord(const std::vector<test::PdfWord>& words, const QString& text) {
  for (const auto& word : words)
    if (word.text == text) return &word;
  return nullptr;
}

class SurfacePdfTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { SetUpFonts(); }
};

// Text starts at the cursor with its top there (pdftotext's box), and the PDF shows the
// next text one reported width to the right and the next line one height lower.
TEST_F(SurfacePdfTest, TextPlacementAndMetrics) {
  // clang-format off
  const std::tuple<const char*, double, bool, double, double> rows[] = {
      {"Tahoma", 8, false, 0, 0}, {"Tahoma", 36, true, 2000, 1500},
      {"Times New Roman", 7.5, false, 4321, 123}};
  // clang-format on
  for (const auto& [family, size, bold, x, y] : rows) {
    SCOPED_TRACE(std::string(family) + " " + std::to_string(size));
    const QString folder = MakeTempFolder();
    QtPrintSurface surface(PdfTarget(folder, 200, 200));
    surface.SetFontName(family);
    surface.SetFontSize(size);
    surface.SetBold(bold);
    // Widths are advances and heights line spacings of the font at points x 20 pixels.
    QFont font(family);
    font.setPixelSize(static_cast<int>(std::lround(size * 20)));
    font.setBold(bold);
    const QFontMetricsF metrics(font);
    const double width = surface.TextWidth("Wide "), height = surface.TextHeight("Wide");
    EXPECT_NEAR(width, metrics.horizontalAdvance("Wide "), 0.01 * width);
    EXPECT_NEAR(height, metrics.lineSpacing(), 0.01 * height);
    // At least the em size: a font set by point size under the twips scale would come
    // out at about 83 % of it.
    EXPECT_GE(height, size * 20 * 0.99);
    EXPECT_LT(height, size * 20 * 1.4);

    surface.SetCurrentX(x);
    surface.SetCurrentY(y);
    surface.Print("Wide ", false);
    EXPECT_EQ(std::pair(surface.CurrentX(), surface.CurrentY()), std::pair(x + width, y));
    surface.Print("Next", true);
    EXPECT_EQ(std::pair(surface.CurrentX(), surface.CurrentY()), std::pair(0.0, y + height));
    surface.SetCurrentX(x);
    surface.Print("Below", true);
    surface.EndDoc();

    const QString pdf = ListPdfFiles(folder).value(0);
    const auto words = PdfWords(pdf);
    const auto *wide = FindWord(words, "Wide"), *next = FindWord(words, "Next"),
               *below = FindWord(words, "Below");
    ASSERT_TRUE(wide && next && below);
    EXPECT_NEAR(wide->xMin, x / 20, 1.5);
    EXPECT_NEAR(wide->yMin, y / 20, 2.0);
    EXPECT_NEAR(next->xMin, (x + width) / 20, 1.0);
    EXPECT_NEAR(below->yMin - wide->yMin, height / 20, 0.5);
    // The font embedded is the family really used.
    const QString used = QString::fromStdString(ResolvedFontFamily(family)).remove(' ');
    EXPECT_TRUE(test::RunProgram("pdffonts", {pdf}).out.contains(used.toUtf8()))
        << used.toStdString();
  }
  EXPECT_EQ(ResolvedFontFamily("Tahoma"), "Tahoma");
  EXPECT_EQ(ResolvedFontFamily("Times New Roman"), "Liberation Serif");
}

// At 1440 dpi one pixel is one twip: the filled area starts and ends at the corners.
TEST_F(SurfacePdfTest, FillRectExactlyBetweenTheCorners) {
  // Corners, colour 0x00BBGGRR, grey level inside (pure red is darker than pure blue).
  const std::tuple<double, double, double, double, std::int32_t, int> rows[] = {
      {500, 100, 522, 900, 0, 0},  // one module wide
      {900, 800, 700, 300, 0, 0},  // reversed corners
      {1000.4, 250.6, 1300.4, 650.6, 0, 0},
      {1400, 100, 1800, 500, 0x0000FF, 76},
  };
  const QString folder = MakeTempFolder();
  QtPrintSurface surface(PdfTarget(folder, 40, 20));
  for (const auto& [x1, y1, x2, y2, colour, level] : rows)
    surface.FillRect(x1, y1, x2, y2, colour);
  surface.EndDoc();
  const QImage image = test::RasterisePdf(ListPdfFiles(folder).value(0), 1440);
  ASSERT_FALSE(image.isNull());
  auto grey = [&](int x, int y) { return qGray(image.pixel(x, y)); };
  for (const auto& [x1, y1, x2, y2, colour, inside] : rows) {
    SCOPED_TRACE(x1);
    const int left = static_cast<int>(std::min(x1, x2)), right = static_cast<int>(std::max(x1, x2));
    const int top = static_cast<int>(std::min(y1, y2)), bottom = static_cast<int>(std::max(y1, y2));
    const int midX = (left + right) / 2, midY = (top + bottom) / 2;
    // Inside next to every edge, and outside beyond it (one pixel of rounding allowed).
    for (const auto& [x, y] :
         {std::pair(left + 1, midY), {right - 2, midY}, {midX, top + 1}, {midX, bottom - 2}})
      EXPECT_NEAR(grey(x, y), inside, 12) << x << "," << y;
    for (const auto& [x, y] :
         {std::pair(left - 2, midY), {right + 1, midY}, {midX, top - 2}, {midX, bottom + 1}})
      EXPECT_EQ(grey(x, y), 255) << x << "," << y;
  }
}

TEST_F(SurfacePdfTest, PageSizesReadableBeforeDrawingAndMatchTheDocument) {
  // The target's own size, paper size code and orientation (0: not set), expected size.
  // clang-format off
  const std::tuple<double, double, int, int, double, double> rows[] = {
      {0, 0, 0, 0, 210, 297}, {60, 40, kPaperA5, kLandscape, 210, 148},
      {100, 150, kPaperUser, kPortrait, 100, 150}, {60, 40, 9999, 0, 60, 40}};
  // clang-format on
  for (const auto& [width, height, paper, orientation, expectWidth, expectHeight] : rows) {
    SCOPED_TRACE(paper);
    const QString folder = MakeTempFolder();
    QtPrintSurface surface(PdfTarget(folder, width, height));
    if (paper) surface.SetPaperSize(paper);
    if (orientation) surface.SetOrientation(orientation);
    EXPECT_NEAR(surface.PageWidth(), expectWidth * 1440 / 25.4, 2);
    EXPECT_NEAR(surface.PageHeight(), expectHeight * 1440 / 25.4, 2);
    surface.FillRect(0, 0, 100, 100, 0);
    surface.EndDoc();
    const QImage image = test::RasterisePdf(ListPdfFiles(folder).value(0), 72);
    EXPECT_NEAR(image.width(), expectWidth / 25.4 * 72, 1.5);
    EXPECT_NEAR(image.height(), expectHeight / 25.4 * 72, 1.5);
  }
}

// One file per document in a folder created when needed; nothing drawn writes nothing,
// an abandoned or never-ended document leaves no file, temporary or not. Pages count
// from 1, a NewPage after the last item adds no blank page, the next document starts
// afresh, and the twips scale holds on later pages too.
TEST_F(SurfacePdfTest, DocumentsPagesAndAbandonedDocuments) {
  const QString folder = MakeTempFolder() + "/new/PDF";
  {
    QtPrintSurface surface(PdfTarget(folder));
    surface.EndDoc();
    surface.Print("thrown away", true);
    surface.FillRect(0, 0, 500, 500, 0);
    surface.AbortDoc();
    EXPECT_TRUE(AllEntries(folder).isEmpty());
    for (const char* word : {"first", "second"}) {
      surface.SetCurrentX(720);
      surface.SetCurrentY(720);
      surface.Print(word, true);
      surface.NewPage();
    }
    EXPECT_EQ(surface.Page(), 3);
    surface.EndDoc();
    EXPECT_EQ(std::tuple(surface.Page(), surface.CurrentX(), surface.CurrentY()),
              std::tuple(1, 0.0, 0.0));
    surface.Print("kept", true);
    surface.EndDoc();
    surface.Print("never ended", true);
  }
  const QStringList pdfs = ListPdfFiles(folder);
  ASSERT_EQ(pdfs.size(), 2);
  EXPECT_EQ(AllEntries(folder).size(), 2);
  EXPECT_EQ(test::PdfPageCount(pdfs[0]), 2);
  const auto words = PdfWords(pdfs[0]);
  const auto* second = FindWord(words, "second");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->page, 2);
  EXPECT_NEAR(second->xMin, 36, 1.5);
  EXPECT_NEAR(second->yMin, 36, 2);
  EXPECT_NE(FindWord(PdfWords(pdfs[1]), "kept"), nullptr);
}

TEST_F(SurfacePdfTest, UnwritableFolderAndBadFontSizesThrowPrintError) {
  const QString folder = MakeTempFolder();
  QFile blocker(folder + "/not-a-folder");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  QtPrintSurface surface(PdfTarget(folder + "/not-a-folder/PDF"));
  EXPECT_THROW(surface.Print("x", true), PrintError);
  EXPECT_THROW(surface.FillRect(0, 0, 10, 10, 0), PrintError);
  surface.EndDoc();  // nothing open: no failure

  surface.SetFontSize(12);
  for (double bad : {0.99, 1638.5, std::numeric_limits<double>::quiet_NaN()})
    EXPECT_THROW(surface.SetFontSize(bad), PrintError) << bad;
  EXPECT_EQ(surface.FontSize(), 12);
}

// A cut-short document leaves nothing behind, under a chosen name too; the next one is
// whole, and documents after the chosen file's first are numbered after it.
TEST(PdfDocument, CutShortIsRemovedAndChosenFileNamesTheDocuments) {
  for (const char* file : {"", "labels.pdf"}) {
    SCOPED_TRACE(file);
    const QString folder = MakeTempFolder();
    QtPrintSurface surface(PdfTarget(folder, 60, 40, "pdftest", file));
    for (int line = 0; line < 40; ++line)
      surface.Print("Line " + std::to_string(line) + " of a label with some text", true);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit small{4096, old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    try {
      surface.EndDoc();
      ADD_FAILURE() << "a cut-short document was reported as written";
    } catch (const PrintError& error) {
      EXPECT_NE(std::string(error.what()).find("not written completely"), std::string::npos);
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(AllEntries(folder).isEmpty());
    for (int document = 0; document < 3; ++document) {
      surface.Print("whole", true);
      surface.EndDoc();
    }
    if (*file) {
      EXPECT_EQ(AllEntries(folder), (QStringList{"labels-2.pdf", "labels-3.pdf", "labels.pdf"}));
      EXPECT_EQ(surface.LastPdfFile(), folder + "/labels-3.pdf");
    } else {
      EXPECT_EQ(AllEntries(folder).size(), 3);
    }
  }
}

// Zero-padded fields sort as numbers do, so names sort in completion order.
TEST(PdfFileNames, FormatAndCleanProgramName) {
  const std::tuple<long long, int, const char*, const char*> rows[] = {
      {1796601600123456LL, 42, "sheetwise", "20261207-000000-123456-0042-sheetwise.pdf"},
      {1796601600000000LL, 3, "../a b", "20261207-000000-000000-0003-___a_b.pdf"},
      {1796601600000000LL, 3, "", "20261207-000000-000000-0003-document.pdf"},
  };
  for (const auto& [micros, sequence, program, expected] : rows) {
    const std::chrono::system_clock::time_point time{std::chrono::microseconds(micros)};
    EXPECT_EQ(PdfFileName(time, sequence, program), expected);
  }
}

// File names sort in the order the documents were completed, between surfaces too.
TEST(PdfFileNames, SurfacesSortInPrintingOrder) {
  const QString folder = MakeTempFolder();
  QtPrintSurface station(PdfTarget(folder, 60, 40, "tarewise")),
      runner(PdfTarget(folder, 60, 40, "sheetwise"));
  std::vector<QString> expected, printed;
  for (QtPrintSurface* surface : {&station, &runner, &station, &runner, &runner, &station}) {
    expected.push_back(QString("p%1").arg(expected.size()));
    surface->Print(expected.back().toStdString(), true);
    surface->EndDoc();
  }
  for (const QString& pdf : ListPdfFiles(folder))
    printed.push_back(PdfWords(pdf).at(0).text);
  EXPECT_EQ(printed, expected);
}

}  // namespace
}  // namespace corvel
