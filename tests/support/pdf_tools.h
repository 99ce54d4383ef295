#pragma once
// Helpers for tests that check printed output: rasterise a PDF, decode the barcodes in
// an image, read the words of a PDF with their boxes, count pages, list PDF files.
// They run the poppler and zbar command-line tools.
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <vector>

namespace corvel::test {

// Renders page `page` (1 first) of `pdf` at `dpi` in grey. Without antialiasing the
// image shows the dots a thermal printer would print. A null image when it fails.
QImage RasterisePdf(const QString& pdf, int dpi, int page = 1, bool antialias = false);

// The texts of every symbol zbarimg finds in the image ("--nodbus" is always passed;
// `extraArgs` such as "-Supce.enable" are added). Empty when nothing is found.
QStringList DecodeBarcodes(const QImage& image, const QStringList& extraArgs = {});
QStringList DecodeBarcodes(const QString& imagePath, const QStringList& extraArgs = {});

// One word of a PDF with its box in points from the page's top-left corner.
struct PdfWord {
  QString text;
  int page = 1;
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

// Every word of every page, in reading order (pdftotext -bbox).
std::vector<PdfWord> PdfWords(const QString& pdf);

// Number of pages (pdfinfo); -1 when the file cannot be read.
int PdfPageCount(const QString& pdf);

// The size of the first page in millimetres as it is shown (its rotation applied); an
// empty size when the file cannot be read.
QSizeF PdfPageSizeMm(const QString& pdf);

// Full paths of the "*.pdf" files in `folder`, sorted by name.
QStringList ListPdfFiles(const QString& folder);

}  // namespace corvel::test
