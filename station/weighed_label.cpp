#include "station/weighed_label.h"

#include <chrono>
#include <cmath>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/text.h"
#include "station/label_barcode.h"
#include "station/label_layout.h"

namespace corvel {
namespace {

constexpr const char* kLabelFont = "Tahoma";

// A layout font size that reads as 0 or less (a stored text that is no number) leaves its
// element off the label; the rest of the label prints.
bool Printable(double size) {
  return size > 0;
}

// The use-by date `days` after `now`, fractions of a day counted. A date past the year
// 9999 has no true short form, so the label is refused rather than printed with a wrong one.
LocalTime UseByTime(LocalTime now, double days) {
  using namespace std::chrono;
  const double ms = std::round(days * 86400000.0);
  const LocalTime limit{local_days{year{10000} / January / 1}};
  if (!(ms < static_cast<double>((limit - now).count()))) {
    throw PrintError("a shelf life of " + GeneralNumber(days) +
                     " days puts the use-by date past the year 9999");
  }
  return now + milliseconds(static_cast<long long>(ms));
}

// Left edge of a text centred at c: c - (width rounded, halves to even) div 2.
double CentredX(PrintSurface& surface, std::string_view text, double centre) {
  const double width = RoundHalfEven(surface.TextWidth(text));
  return centre - std::floor(width / 2);
}

// The usual sequence of one text element: font, size, top, measure, x, print.
void PrintCentred(PrintSurface& surface, std::string_view text, double size, double top,
                  double centre, bool notLeftOfZero) {
  if (!Printable(size)) return;
  surface.SetFontName(kLabelFont);
  surface.SetFontSize(size);
  surface.SetCurrentY(top);
  double x = CentredX(surface, text, centre);
  if (notLeftOfZero && x < 0) x = 0;
  surface.SetCurrentX(x);
  surface.Print(text, true);
}

// A store name line: bold is switched on before the size is set, and stays on.
void PrintStoreLine(PrintSurface& surface, std::string_view text, double size, double top,
                    double centre) {
  surface.SetFontName(kLabelFont);
  surface.SetBold(true);  // on for what follows, even when this line is left off
  if (!Printable(size)) return;
  surface.SetFontSize(size);
  surface.SetCurrentY(top);
  surface.SetCurrentX(CentredX(surface, text, centre));
  surface.Print(text, true);
}

void PrintRightAligned(PrintSurface& surface, std::string_view text, double size, double top,
                       double rightEdge) {
  if (!Printable(size)) return;
  surface.SetFontName(kLabelFont);
  surface.SetFontSize(size);
  surface.SetCurrentY(top);
  surface.SetCurrentX(rightEdge - surface.TextWidth(text));
  surface.Print(text, true);
}

void PrintLabel(const LabelBoxes& boxes, const LabelLayout& layout, PrintSurface& surface,
                const Clock& clock, BarcodeJob& job) {
  const LabelFigures figures = WorkOutLabelFigures(boxes);
  const double weight = ReadLeadingNumber(figures.weight);
  const double unitPrice = ReadLeadingNumber(figures.unitPrice);

  if (PrepareLabelBarcode(job, LabelCodeText(boxes.code), boxes.flag, figures.priceText,
                          boxes.usePriceCheckDigit)) {
    BuildBarPattern(job, CheckDigitSource::FromMarker);
    job.ModuleWidth = layout.BarcodeWidth;
    job.BarHeight = layout.BarcodeHeight;
    DrawBarPattern(job, surface, layout.BarcodeLefte, layout.BarcodeTop, BarOrigin::AfterZero);
    if (Printable(layout.BarcodeFontSize)) {
      surface.SetFontName(kLabelFont);
      surface.SetFontSize(layout.BarcodeFontSize);
      const std::string number = MakeBarcodeNumberText(job);
      surface.SetBold(true);
      surface.SetCurrentY(layout.BarcodeFontTop);
      surface.SetCurrentX(CentredX(surface, number, layout.BarcodeFontCenter));
      surface.Print(number, true);
    } else {
      surface.SetBold(true);  // as the number would have left it
    }
  }

  PrintCentred(surface, TrimSpaces(FixedText(boxes.description1, 32)), layout.DescriptionSize1,
               layout.DescriptionTop1, layout.DescriptionCenter1, true);
  PrintCentred(surface, boxes.description2, layout.DescriptionSize2, layout.DescriptionTop2,
               layout.DescriptionCenter2, true);
  PrintCentred(surface, boxes.description3, layout.DescriptionSize3, layout.DescriptionTop3,
               layout.DescriptionCenter3, true);

  const LocalTime now = clock.Now();
  PrintCentred(surface, FormatShortDate(now), layout.DateSize, layout.DateTop, layout.Datecenter,
               false);

  const double shelfLife = ReadLeadingNumber(boxes.shelfLife);
  if (shelfLife > 0 && Printable(layout.UseDateSize)) {
    const std::string useBy = FormatShortDate(UseByTime(now, shelfLife));
    surface.SetCurrentY(layout.UseDateTop);
    surface.SetFontName(kLabelFont);
    surface.SetFontSize(layout.UseDateSize);
    surface.SetCurrentX(CentredX(surface, useBy, layout.UseDatecenter));
    surface.Print(useBy, true);
  }

  if (weight > 0) {
    PrintRightAligned(surface, FormatNumber(weight, "#0.000") + " kg", layout.WeightSize,
                      layout.WeightTop, layout.WeightCenter);
  }

  PrintStoreLine(surface, boxes.storeName1, layout.StoreSize1, layout.StoreTop1,
                 layout.Storecenter1);
  PrintStoreLine(surface, boxes.storeName2, layout.StoreSize2, layout.StoreTop2,
                 layout.Storecenter2);

  // The price starts at "Pricecenter"; one wider than 500 twips ends 500 to its right.
  if (Printable(layout.PriceSize)) {
    surface.SetFontName(kLabelFont);
    surface.SetFontSize(layout.PriceSize);
    surface.SetCurrentY(layout.PriceTop);
    const double overhang = std::max(0.0, surface.TextWidth(figures.priceText) - 500);
    surface.SetCurrentX(layout.Pricecenter - overhang);
    if (ReadLeadingNumber(figures.priceText) > 0) surface.Print(figures.priceText, true);
  }

  if (weight > 0 && unitPrice > 0) {
    PrintRightAligned(surface, FormatNumber(unitPrice, "#0.00"), layout.PricePerKgSize,
                      layout.PricePerKgTop, layout.PricePerKgcenter);
  }

  if (Printable(layout.ProductIdSize)) {
    surface.SetFontName(kLabelFont);
    surface.SetFontSize(layout.ProductIdSize);
    surface.SetCurrentY(layout.ProductIdTop);
    surface.SetCurrentX(layout.ProductIdcenter);
    surface.Print("#" + boxes.itemNumber, true);
  }

  surface.EndDoc();
}

}  // namespace

LabelFigures WorkOutLabelFigures(const LabelBoxes& boxes) {
  LabelFigures figures;
  figures.unitPrice = FixedText(GeneralNumber(ReadLeadingNumber(boxes.price)), 18);
  figures.weight = FixedText(GeneralNumber(ReadLeadingNumber(boxes.weight)), 6);
  const double tare = ReadLeadingNumber(boxes.tare);
  if (tare > 0) {
    figures.weight = FixedText(GeneralNumber(ReadLeadingNumber(figures.weight) - tare), 6);
  }
  if (boxes.nonWeighed) figures.weight = FixedText("0", 6);
  const double weight = ReadLeadingNumber(figures.weight);
  const double unitPrice = ReadLeadingNumber(figures.unitPrice);
  figures.priceText = FormatNumber(weight > 0 ? unitPrice * weight : unitPrice, "#0.00");
  figures.unitPrice = TrimSpaces(figures.unitPrice);
  figures.weight = TrimSpaces(figures.weight);
  return figures;
}

void PrintWeighedLabel(const LabelBoxes& boxes, SettingsStore& settings, PrintSurface& surface,
                       const Clock& clock, BarcodeJob& job) {
  const LabelLayout layout = LoadLabelLayout(settings);
  try {
    PrintLabel(boxes, layout, surface, clock, job);
  } catch (...) {
    // Whatever was drawn of this label is discarded, so no half label is printed.
    try {
      surface.AbortDoc();
    } catch (...) {
    }
    throw;
  }
}

}  // namespace corvel
