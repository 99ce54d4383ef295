// The live label preview in the real station window (offscreen): a panel beside the
// controls that the operator shows and hides, redrawn on every change, and the same
// label as the printed PDF, dot for dot within one pixel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>
#include <iostream>
#include <map>

#include "common/settings_sections.h"
#include "platform/printing.h"
#include "station/label_layout.h"
#include "station/station_window.h"
#include "tests/station/station_test_support.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

class LabelPreviewTest : public ::testing::Test {
 protected:
  std::unique_ptr<StationWindow> Open() {
    PrinterTarget target;
    target.kind = PrinterTarget::Kind::PdfFolder;
    target.pdfFolder = pdfFolder_.toStdString();
    target.program = "tarewise";
    target.pageWidthMm = 60;
    target.pageHeightMm = 40;
    auto window = std::make_unique<StationWindow>(
        StationServices{store_, messages_, clock_, target,
                        [target] { return MakePrintSurface(target); }, productPath_.toStdString()});
    window->show();
    QApplication::setActiveWindow(window.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QCoreApplication::processEvents();
    return window;
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

  QString pdfFolder_ = test::MakeTempFolder();
  QString productPath_ = test::MakeTempFolder() + "/pdlist";
  MemorySettingsStore store_;
  test::FakeMessages messages_;
  FixedClock clock_{MakeLocalTime(2026, 12, 6, 9)};
};

TEST_F(LabelPreviewTest, ShownBesideTheControlsAndRemembered) {
  auto window = Open();
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
  window = Open();
  EXPECT_TRUE(window->Preview->isVisible()) << "remembered";
  window->Preview->ToggleAction()->trigger();
  EXPECT_TRUE(window->Preview->isHidden());
  EXPECT_EQ(store_.Get(kStationSection, "ShowPreview"), "False");
  EXPECT_EQ(ControlPlaces(*window), places);
}

TEST_F(LabelPreviewTest, RedrawsOnEveryChange) {
  test::WriteAllBytes(productPath_, test::ProductFileBytes(2));
  store_.Save(kStationSection, "ShowPreview", "True");
  auto window = Open();
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
      {"layout reset",
       [](StationWindow& w) {
         const QPoint at = w.List1->visualItemRect(w.List1->item(1)).center();
         QTest::mouseClick(w.List1->viewport(), Qt::LeftButton, {}, at);
         QTest::mouseDClick(w.List1->viewport(), Qt::LeftButton, {}, at);
       }},
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

// Dark dots (a threshold at half grey), row by row.
std::vector<std::vector<bool>> Ink(const QImage& image) {
  const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
  std::vector<std::vector<bool>> ink(grey.height(), std::vector<bool>(grey.width()));
  for (int y = 0; y < grey.height(); ++y)
    for (int x = 0; x < grey.width(); ++x)
      ink[y][x] = qGray(grey.pixel(x, y)) < 128;
  return ink;
}

// Columns where a row changes between ink and paper.
std::vector<int> Edges(const std::vector<bool>& row) {
  std::vector<int> edges;
  for (std::size_t x = 1; x < row.size(); ++x)
    if (row[x] != row[x - 1]) edges.push_back(int(x));
  return edges;
}

// Bands of rows with ink (texts, bars), each with its first and last row and column.
struct Band {
  int top, bottom, left, right;
};
std::vector<Band> Bands(const std::vector<std::vector<bool>>& ink) {
  std::vector<Band> bands;
  bool open = false;
  for (int y = 0; y < int(ink.size()); ++y) {
    const auto first = std::find(ink[y].begin(), ink[y].end(), true);
    if (first == ink[y].end()) {
      open = false;
      continue;
    }
    const int left = int(first - ink[y].begin());
    const int right = int(ink[y].rend() - std::find(ink[y].rbegin(), ink[y].rend(), true)) - 1;
    if (!open) bands.push_back({y, y, left, right});
    Band& band = bands.back();
    band = {band.top, y, std::min(band.left, left), std::max(band.right, right)};
    open = true;
  }
  return bands;
}

TEST_F(LabelPreviewTest, SameLabelAsThePrintedPdf) {
  store_.Save(kStationSection, "ShowPreview", "True");
  auto window = Open();
  for (const auto& [box, text] :
       std::vector<std::pair<QLineEdit*, QString>>{{window->Text1, "1234"},
                                                   {window->Text2, "Leg ham"},
                                                   {window->Text3, "12.99"},
                                                   {window->Text4, "1.235 KG"},
                                                   {window->Text9, "0.015"},
                                                   {window->Text10, "3"}})
    box->setText(text);
  window->Preview->Redraw();
  const QImage preview = window->Preview->Raster();
  const int dpi = window->Preview->RasterDpi();
  ASSERT_FALSE(preview.isNull()) << window->Preview->Problem().toStdString();
  window->Command1->click();
  const QStringList pdfs = test::ListPdfFiles(pdfFolder_);
  ASSERT_EQ(pdfs.size(), 1);
  const QImage printed = test::RasterisePdf(pdfs[0], dpi);
  ASSERT_EQ(preview.size(), printed.size()) << dpi << " dpi";

  const auto a = Ink(preview), b = Ink(printed);
  // The bars: the row crossing the most edges lies in them; every edge within a pixel.
  int barRow = 0;
  for (int y = 0; y < int(b.size()); ++y)
    if (Edges(b[y]).size() > Edges(b[barRow]).size()) barRow = y;
  const auto edgesA = Edges(a[barRow]), edgesB = Edges(b[barRow]);
  ASSERT_EQ(edgesA.size(), edgesB.size()) << "row " << barRow;
  int worstEdge = 0;
  for (std::size_t i = 0; i < edgesA.size(); ++i)
    worstEdge = std::max(worstEdge, std::abs(edgesA[i] - edgesB[i]));
  EXPECT_LE(worstEdge, 1);
  // The texts and bars as bands of ink: the same bands, each within a pixel or two.
  const auto bandsA = Bands(a), bandsB = Bands(b);
  ASSERT_EQ(bandsA.size(), bandsB.size());
  int worstBand = 0;
  for (std::size_t i = 0; i < bandsA.size(); ++i)
    for (const auto side : {&Band::top, &Band::bottom, &Band::left, &Band::right})
      worstBand = std::max(worstBand, std::abs(bandsA[i].*side - bandsB[i].*side));
  EXPECT_LE(worstBand, 2);
  // Text rasterisers differ at the edges of glyphs; another face (a missing font) would
  // differ in most of them.
  int differing = 0, inked = 0;
  for (std::size_t y = 0; y < a.size(); ++y)
    for (std::size_t x = 0; x < a[y].size(); ++x) {
      differing += a[y][x] != b[y][x];
      inked += b[y][x];
    }
  std::cout << "preview vs PDF at " << dpi << " dpi (" << preview.width() << "x" << preview.height()
            << "): " << edgesA.size() << " bar edges, worst " << worstEdge << " px; "
            << bandsA.size() << " ink bands, worst side " << worstBand << " px; " << differing
            << " of " << inked << " inked dots differ\n";
  EXPECT_LT(differing, inked / 4);
  EXPECT_EQ(test::DecodeBarcodes(preview), test::DecodeBarcodes(printed));
}

}  // namespace
}  // namespace corvel
