#pragma once
// Printer targets and print surfaces on Qt (QPainter over QPrinter, in twips).
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/print_surface.h"
#include "common/printer_target.h"
#include "common/settings_store.h"
#include "platform/cups_queue.h"
#include "platform/queue_media.h"

namespace corvel {

// The fallback PDF folder used when a machine has no printer at all: $HOME/Corvel/PDF.
std::string DefaultPdfFolder();

// True when the print server answers and has at least one printer.
bool HavePrinters();

// Whether documents with no printer named go into DefaultPdfFolder(): only on a machine
// with no print server at all, or one whose print server has no printer. A print server
// that is installed but does not answer is told as such when printing, never bypassed.
bool FallsBackToPdf(PrintServerState state, bool serverInstalled);

// The target for a program from its own settings section ("Zebra" for the station,
// "Printer" for the runner): key "PdfFolder" names a PDF folder; otherwise the queue
// named by `jobPrinterKey` (when given and set), else by "PrinterName", is used as
// named, without asking the print server (printing on a queue that cannot be reached
// fails and says so); with no name the print server's default queue is used. Only when
// no name is set and there is no print server, or it has no printer, documents go to
// DefaultPdfFolder() (`fallback` set). Page size of PDF documents from key
// "PdfPageSize" ("60x40" millimetres) when present, else `defaultPageWidthMm` x
// `defaultPageHeightMm`. Asking the print server waits at most kPrintServerTimeout
// (platform/cups_queue.h).
PrinterTarget ChoosePrinterTarget(const SettingsStore& settings, std::string_view section,
                                  std::string_view program, double defaultPageWidthMm = 0,
                                  double defaultPageHeightMm = 0,
                                  std::string_view jobPrinterKey = {});

// A print surface that prints documents to `target`. Each document becomes one print
// job (or one PDF file, written under a temporary name and renamed when complete, so an
// abandoned document leaves nothing). PDF names sort in printing order, across runs too.
// On a queue, EndDoc returns when the print server has the job and throws PrintError
// when it cannot be sent.
std::unique_ptr<PrintSurface> MakePrintSurface(const PrinterTarget& target);

// The fate of the last document sent by a background surface: a text for people
// ("queued on printer labels (job 12)", "printing ...", "held: ...", "refused: ...")
// and whether it will not be printed. Called on a worker thread.
using PrintStatus = std::function<void(const std::string& text, bool refused)>;
// The paper a background surface's queue reports as its default, each time it is learnt
// (asked as soon as the surface is made). Called on a worker thread.
using PaperReport = std::function<void(const QueueMedia& paper)>;
// As MakePrintSurface, but documents for a queue are sent in order by a worker thread,
// so EndDoc never waits for the print server; `status` tells what became of them. The
// first document waits for the queue's answer about its paper (within the print
// server's bound), so it is laid out as every later one.
std::unique_ptr<PrintSurface> MakeBackgroundPrintSurface(const PrinterTarget& target,
                                                         PrintStatus status,
                                                         PaperReport paper = {});

// Loads "Tahoma" from Debian's fonts-wine (outside fontconfig's folders) so that it is
// used by name; call once after the QGuiApplication exists. Returns false when the font
// files are missing (text then falls back to another sans-serif face).
bool SetUpFonts();

// The family Qt really uses for a requested family name (for example "Times New Roman"
// resolves to "Liberation Serif").
std::string ResolvedFontFamily(std::string_view requested);

}  // namespace corvel
