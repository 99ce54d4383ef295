// "corvel calibrate": prints a calibration page on a printer, so an admin can read off
// the page offset and see which module widths scan: millimetre rulers along the edges,
// crosshairs at known twip positions, and EAN-13 symbols at module widths 15 to 30
// twips, each labelled. The page is drawn with the printer's calibration applied.
#include <QDir>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "barcode/barcode_job.h"
#include "common/ini_settings_store.h"
#include "common/number_text.h"
#include "common/printer_calibration.h"
#include "common/settings_sections.h"
#include "common/units.h"
#include "platform/printing.h"
#include "tools/options/option_table.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {

const char* const kUsage = UsageOf("calibrate");

constexpr double kRulerWidth = 8;  // twips, about a dot at 200 dpi
constexpr double kRulerDepth = 250;
constexpr double kBarHeight = 500;
constexpr int kFirstModule = 15, kLastModule = 30;

// The EAN-13 code printed at a module width: "20000000000" and the width, with its check
// digit, so a scanner's reading names the width.
std::string CodeForModule(int module) {
  const std::string data = "2000000000" + std::to_string(module);
  return data + std::to_string(ComputeCheckDigit(data));
}

void Label(PrintSurface& surface, double x, double y, const std::string& text, double size = 6) {
  surface.SetFontName("Arial");
  surface.SetFontSize(size);
  surface.SetCurrentX(x);
  surface.SetCurrentY(y);
  surface.Print(text, false);
}

// Ticks every millimetre along the top and left edges (longer every 5 and 10, numbered
// every 10), measured from the corner of the printable area.
void DrawRulers(PrintSurface& surface) {
  for (int mm = 0; mm * kTwipsPerMm < surface.PageWidth(); ++mm) {
    const double x = mm * kTwipsPerMm;
    const double depth = mm % 10 == 0 ? kRulerDepth : mm % 5 == 0 ? 170 : 100;
    surface.FillRect(x, 0, x + kRulerWidth, depth, 0);
    if (mm % 10 == 0 && mm > 0) Label(surface, x + 30, 110, std::to_string(mm));
  }
  for (int mm = 0; mm * kTwipsPerMm < surface.PageHeight(); ++mm) {
    const double y = mm * kTwipsPerMm;
    const double depth = mm % 10 == 0 ? kRulerDepth : mm % 5 == 0 ? 170 : 100;
    surface.FillRect(0, y, depth, y + kRulerWidth, 0);
    if (mm % 10 == 0 && mm > 0) Label(surface, 110, y + 20, std::to_string(mm));
  }
}

// Crosshairs at whole inches (1440 twips) from the corner: the first and the last that
// fit across and down.
void DrawCrosshairs(PrintSurface& surface) {
  const auto positions = [](double extent) {
    std::vector<double> at;
    const double last = std::floor((extent - 300) / kTwipsPerInch) * kTwipsPerInch;
    if (last >= kTwipsPerInch) at.push_back(kTwipsPerInch);
    if (last > kTwipsPerInch) at.push_back(last);
    return at;
  };
  const std::vector<double> across = positions(surface.PageWidth());
  for (std::size_t i = 0; i < across.size(); ++i) {
    const double x = across[i];
    // A label stays on its own cross's half of the way to the crosses beside it: right
    // of its cross, else left of it, else below it.
    const double rightEnd = i + 1 < across.size() ? (x + across[i + 1]) / 2 : surface.PageWidth();
    const double leftEnd = i > 0 ? (across[i - 1] + x) / 2 : 0;
    for (const double y : positions(surface.PageHeight())) {
      surface.FillRect(x - 200, y - kRulerWidth / 2, x + 200, y + kRulerWidth / 2, 0);
      surface.FillRect(x - kRulerWidth / 2, y - 200, x + kRulerWidth / 2, y + 200, 0);
      const std::string text = GeneralNumber(x) + "," + GeneralNumber(y) + " tw";
      surface.SetFontName("Arial");
      surface.SetFontSize(6);
      const double width = surface.TextWidth(text);
      if (x + 40 + width <= rightEnd)
        Label(surface, x + 40, y + 30, text);
      else if (x - 40 - width >= leftEnd)
        Label(surface, x - 40 - width, y + 30, text);
      else
        Label(surface, std::max(0.0, x - width / 2), y + 220, text);
    }
  }
}

// The header's parts, printed on one line where the page is wide enough, else one a line.
std::vector<std::string> Header(const std::string& printer, const Calibration& calibration,
                                double dpi) {
  return {"Calibration " + printer + ":",
          dpi > 0 ? "Dpi " + GeneralNumber(dpi) + (calibration.dpi > 0 ? "" : " (reported)")
                  : "Dpi unknown",
          "OffsetX " + GeneralNumber(calibration.offsetX) + ", OffsetY " +
              GeneralNumber(calibration.offsetY),
          "BarReduction " + std::to_string(calibration.barReduction)};
}

// Prints the header at (x, y) within the page's width; returns the y below it.
double DrawHeader(PrintSurface& surface, double x, double y,
                  const std::vector<std::string>& parts) {
  std::string line;
  for (const std::string& part : parts)
    line += (line.empty() ? "" : " ") + part;
  surface.SetFontName("Arial");
  surface.SetFontSize(7);
  const double lineHeight = surface.TextHeight("C");
  if (x + surface.TextWidth(line) <= surface.PageWidth()) {
    Label(surface, x, y, line, 7);
    return y + lineHeight;
  }
  for (const std::string& part : parts) {
    Label(surface, x, y, part, 7);
    y += lineHeight;
  }
  return y;
}

// The module a symbol planned at `module` twips is drawn with, in twips: whole dots of the
// printer's grid when it is known (as the bars are drawn), else as planned.
double DrawnModule(int module, double dpi, double origin, double roomRight) {
  if (dpi <= 0) return module;
  const double dot = TwipsPerDot(dpi);
  return WholeDotModule(module, dot, origin, SymbolModules(Symbology::Ean13),
                        QuietZoneModules(Symbology::Ean13).right, roomRight) *
         dot;
}

// The symbols, left to right and top to bottom right of the ruler and below the first
// crosshairs, each with its quiet zones and its label; a new page when the page is full.
// Only what fits whole is printed: a symbol wider than the page is left out and said.
void DrawSymbols(PrintSurface& surface, const std::string& printer,
                 const Calibration& calibration) {
  const double left = kRulerDepth + 150, top = kRulerDepth + 150;
  const double height = kBarHeight + 250;
  const double dpi = surface.Dots().dpi;
  const double below = DrawHeader(surface, left, top, Header(printer, calibration, dpi));
  // Below the first crosshairs, or from the next page when the page is too small.
  double x = left, y = std::max(below + 100, kTwipsPerInch + 350);
  if (y + height > surface.PageHeight()) {
    surface.NewPage();
    y = top;
  }
  const QuietZones quiet = QuietZoneModules(Symbology::Ean13);
  const int modules = SymbolModules(Symbology::Ean13);
  std::vector<int> left_out;
  for (int module = kFirstModule; module <= kLastModule; ++module) {
    // Drawn at the next place, or at the start of the next row when it does not fit there.
    const double room = surface.PageWidth();
    double drawn = DrawnModule(module, dpi, x + quiet.left * module, room);
    if (x > left && x + (quiet.left + modules + quiet.right) * drawn > surface.PageWidth()) {
      x = left;
      y += height;
      drawn = DrawnModule(module, dpi, x + quiet.left * module, room);
    }
    if (left + (quiet.left + modules + quiet.right) * drawn > surface.PageWidth()) {
      left_out.push_back(module);
      continue;
    }
    if (y > top && y + height > surface.PageHeight()) {
      surface.NewPage();
      x = left;
      y = top;
    }
    BarcodeJob job;
    PrepareBarcodeDigits(job, CodeForModule(module), false, false);
    BuildBarPattern(job);
    job.ModuleWidth = static_cast<std::int16_t>(module);
    job.BarHeight = static_cast<std::int16_t>(kBarHeight);
    // The left quiet zone in the module drawn.
    const double origin = x + quiet.left * drawn;
    DrawBarPattern(job, surface, origin, y);
    std::string text =
        std::to_string(module) + " tw = " + FormatNumber(drawn / kTwipsPerMm, "0.000") + " mm";
    if (dpi > 0) text += " = " + GeneralNumber(std::round(DotsFromTwips(drawn, dpi))) + " dots";
    Label(surface, origin, y + kBarHeight + 20, text);
    x += (quiet.left + modules + quiet.right) * drawn + 200;
  }
  if (!left_out.empty()) {
    std::string text = "Too wide for this page:";
    for (const int module : left_out)
      text += " " + std::to_string(module);
    text += " tw";
    if (y + height > surface.PageHeight()) {
      surface.NewPage();
      y = top;
    } else {
      y += height;
    }
    Label(surface, left, y, text, 7);
    std::fprintf(stderr, "corvel calibrate: %s\n", text.c_str());
  }
}

std::string DefaultPdfFolderFor(const SettingsStore& settings) {
  for (const std::string_view section : {kStationSection, kPrinterSection}) {
    if (auto folder = settings.Get(section, "PdfFolder"); folder && !folder->empty())
      return *folder;
  }
  return DefaultPdfFolder();
}

int RunCalibrate(const std::vector<std::string>& args) {
  std::string printer, pdfFolder;
  const OptionTable table{"calibrate",
                          kUsage,
                          {Value("--pdf-folder", pdfFolder)},
                          [&printer](const std::string& arg) -> std::string {
                            if (!printer.empty() || arg == "-")
                              return "unexpected argument \"" + arg + "\"";
                            printer = arg;
                            return "";
                          }};
  if (const std::string problem = ParseOptions(table, args); !problem.empty())
    return UsageError(table, problem);
  if (printer.empty()) return UsageError(table, "name the printer (a queue, or PDF)");
  try {
    IniSettingsStore settings(IniSettingsStore::DefaultPath());
    PrinterTarget target;
    target.program = "corvel";
    if (printer == kPdfCalibrationName) {
      target.pdfFolder = pdfFolder.empty() ? DefaultPdfFolderFor(settings) : pdfFolder;
      target.pageWidthMm = 210;
      target.pageHeightMm = 297;
      QDir().mkpath(QString::fromStdString(target.pdfFolder));
    } else {
      target.kind = PrinterTarget::Kind::CupsQueue;
      target.queue = printer;
    }
    target.calibration = ReadCalibration(settings, target);
    if (!target.calibration.problem.empty())
      std::fprintf(stderr, "corvel calibrate: %s\n", target.calibration.problem.c_str());
    const auto surface = MakePrintSurface(target);
    DrawRulers(*surface);
    DrawCrosshairs(*surface);
    DrawSymbols(*surface, printer, target.calibration);
    surface->EndDoc();
    std::printf("calibration page printed to %s\n", target.Describe().c_str());
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "corvel calibrate: the page was not printed: %s\n", error.what());
    return 1;
  }
}

const bool registered = RegisterSubcommand("calibrate", &RunCalibrate);

}  // namespace
}  // namespace corvel::tools
