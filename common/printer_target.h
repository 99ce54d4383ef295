#pragma once
// Where a program's documents go: a CUPS queue, or a folder that receives one PDF file
// per document.
#include <map>
#include <string>

namespace corvel {

// Corrections for one printer, from the settings section "Calibration <queue>" (or
// "Calibration PDF" for PDF folders). Zero values change nothing.
struct Calibration {
  double dpi = 0;                   // the head's dots per inch; 0: not configured
  double offsetX = 0, offsetY = 0;  // twips; the whole page moves by these
  int barReduction = 0;             // dots taken off every bar (print growth)
  std::string problem;              // values ignored because they are not numbers, for people
};

struct PrinterTarget {
  enum class Kind { CupsQueue, PdfFolder };
  Kind kind = Kind::PdfFolder;
  std::string queue;      // CupsQueue: queue name; empty means the system default queue
  std::string pdfFolder;  // PdfFolder: the folder
  std::string program;    // the program printing ("tarewise", "sheetwise"); names PDF files
  // Page size of PDF documents in millimetres (0 x 0: A4). Paper size codes set on the
  // surface (A5, A4) override it; user-defined size 256 keeps it.
  double pageWidthMm = 0;
  double pageHeightMm = 0;
  bool landscape = false;
  // CupsQueue: the media chosen in the print dialog, as fed, in millimetres (0 x 0: the
  // queue's default media).
  double mediaWidthMm = 0;
  double mediaHeightMm = 0;
  // PdfFolder: the file chosen in the print dialog; documents are named after it
  // instead of getting sortable names (empty: sortable names).
  std::string pdfFile;
  // PdfFolder: chosen because the machine has no printer at all (the first document
  // says where the files go).
  bool fallback = false;
  int copies = 1;  // copies of each document made by the printer (CupsQueue only)
  // The queue's InputSlot choice for a paper bin number, as the program's settings name
  // it ("InputSlot267=Tray2"); an empty choice means the queue's default tray. Bins
  // without an entry use the surface's built-in names (CupsQueue only).
  std::map<int, std::string> inputSlots;
  // The printer's calibration. A queue without a configured dpi uses the resolution it
  // reports.
  Calibration calibration;

  // For people: "printer Zebra" / "the default printer" / "PDF folder /home/shop/Corvel/PDF".
  std::string Describe() const;
};

}  // namespace corvel
