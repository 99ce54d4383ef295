#pragma once
// Turns what a label printer receives back into the dots it would print, one image per
// label, so a test can scan the label a driver produced: EPL2 (the driver's "GW" records
// of raw bit rows), ZPL ("~DG" graphics in hexadecimal with ZPL's run-length letters,
// placed by "^FO" and "^XG") and PWG raster ("RaS2", the driverless printers' format).
// Images are 8-bit grey, one pixel a dot: black 0, white 255. Of an office printer's PCL
// only the paper it is told to take is read.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

namespace corvel::test {

// The labels of an EPL2 job: each "P" command prints the image buffer that the "GW"
// records since the last "N" drew.
std::vector<QImage> DecodeEpl2(const QByteArray& job);

// The labels of a ZPL job: each "^XA" ... "^XZ" format that recalls a "~DG" graphic with
// "^XG" is one label, the graphic placed at the "^FO" before it.
std::vector<QImage> DecodeZpl(const QByteArray& job);

// One page of a PWG raster stream, with the page size its header states.
struct RasterPage {
  QImage image;
  double widthPt = 0, heightPt = 0;  // the page in points, as in the header
  int dpi = 0;                       // across the page
};
// The pages of a PWG raster stream (1-bit black or 8-bit grey); empty when it is not one.
std::vector<RasterPage> DecodePwgRaster(const QByteArray& stream);

// The paper a PCL job asks for in its first page-size command ("ESC &l<n>A"), by its PPD
// name ("A4", "A5", "Letter", ...); empty when the job names none or one not listed here.
QString PclPaper(const QByteArray& job);

}  // namespace corvel::test
