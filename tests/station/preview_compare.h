#pragma once
// The preview's raster against the label printed into a PDF, rasterised at the preview's
// resolution: every bar edge within a pixel, most inked dots the same (text rasterisers
// differ at the edges of glyphs; another face, a missing font, would differ in most of
// them), the same symbol decoded.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <vector>

#include "tests/support/pdf_tools.h"

namespace corvel::test {

inline void ExpectSameLabel(const QImage& raster, int dpi, const QString& pdf) {
  const QImage preview = raster.convertToFormat(QImage::Format_Grayscale8);
  const QImage printed = RasterisePdf(pdf, dpi).convertToFormat(QImage::Format_Grayscale8);
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
  const QStringList decoded = DecodeBarcodes(printed);
  EXPECT_FALSE(decoded.isEmpty()) << "the printed symbol scans";
  EXPECT_EQ(DecodeBarcodes(preview), decoded);
}

}  // namespace corvel::test
