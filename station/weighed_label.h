#pragma once
// One weighed-item label, printed from the texts of the station window's boxes as they
// stand: store name, three description lines, packing and use-by dates, net weight,
// price, price per kilogram, item number and the EAN-13 symbol with its number. Each
// element goes where the label layout in the settings store puts it.
#include <string>

#include "barcode/barcode_job.h"
#include "common/clock.h"
#include "common/print_surface.h"
#include "common/settings_store.h"

namespace corvel {

// The boxes the label reads.
struct LabelBoxes {
  std::string code;                 // Text1 "Code"
  std::string description1;         // Text2 "Description"
  std::string price;                // Text3 "Price": per kilogram, or per piece when non-weighed
  std::string weight;               // Text4: the weight, possibly followed by " KG"
  std::string storeName1;           // Text5 "Store Name"
  std::string description2;         // Text6
  std::string description3;         // Text7
  std::string itemNumber;           // Text8 "Item Number"
  std::string tare;                 // Text9 "Tare", kilograms
  std::string shelfLife;            // Text10 "Shelf Life # of Days"
  std::string storeName2;           // Text12
  std::string flag = "20";          // Text13 "FLAG"
  bool nonWeighed = false;          // Check1 "Non Weighed"
  bool usePriceCheckDigit = false;  // Check4 "Use Check Digit for Price"
};

// The label's working values, worked out before anything is drawn.
struct LabelFigures {
  std::string unitPrice;  // the price box's number in shortest form, at most 18 characters
  std::string weight;     // net weight as decimal text, at most 6 characters ("0" non-weighed)
  std::string priceText;  // the label's price, "#0.00"
};

LabelFigures WorkOutLabelFigures(const LabelBoxes& boxes);

// Prints one label as one document on `surface`, using `job` for the symbol. Reads the
// layout from `settings` first (and writes it back). An element whose font size reads as
// 0 or less is left off. A use-by date past the year 9999 is a failure. On any failure
// the unfinished document is thrown away (nothing of it is printed) and the failure is
// rethrown.
void PrintWeighedLabel(const LabelBoxes& boxes, SettingsStore& settings, PrintSurface& surface,
                       const Clock& clock, BarcodeJob& job);

}  // namespace corvel
