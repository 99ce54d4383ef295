#pragma once
// Printer targets and print surfaces on Qt (QPainter over QPrinter, in twips).
#include <memory>
#include <string>
#include <string_view>

#include "common/print_surface.h"
#include "common/printer_target.h"
#include "common/settings_store.h"

namespace corvel {

// The fallback PDF folder used when a machine has no printer at all: $HOME/Corvel/PDF.
std::string DefaultPdfFolder();

// True when CUPS knows at least one printer.
bool HavePrinters();

// The target for a program from its own settings section ("Zebra" for the station,
// "Printer" for the runner): key "PdfFolder" names a PDF folder; otherwise key
// "PrinterName" names a CUPS queue, or the system default queue is used; when there is
// no printer at all, DefaultPdfFolder(). Page size of PDF documents from key
// "PdfPageSize" ("60x40" millimetres) when present, else `defaultPageWidthMm` x
// `defaultPageHeightMm`.
PrinterTarget ChoosePrinterTarget(const SettingsStore& settings, std::string_view section,
                                  std::string_view program, double defaultPageWidthMm = 0,
                                  double defaultPageHeightMm = 0);

// A print surface that prints documents to `target`. Each document becomes one print
// job (or one PDF file, written under a temporary name and renamed when complete, so an
// abandoned document leaves nothing). PDF names sort in printing order, across runs too.
std::unique_ptr<PrintSurface> MakePrintSurface(const PrinterTarget& target);

// Loads "Tahoma" from Debian's fonts-wine (outside fontconfig's folders) so that it is
// used by name; call once after the QGuiApplication exists. Returns false when the font
// files are missing (text then falls back to another sans-serif face).
bool SetUpFonts();

// The family Qt really uses for a requested family name (for example "Times New Roman"
// resolves to "Liberation Serif").
std::string ResolvedFontFamily(std::string_view requested);

}  // namespace corvel
