// "corvel barcode": shows how a code field is encoded, draws its symbol into a PDF or PNG
// file, or answers encoder requests as JSON lines (see barcode_jsonl.h).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "barcode/barcode_job.h"
#include "common/errors.h"
#include "common/print_surface.h"
#include "common/printer_target.h"
#include "platform/printing.h"
#include "tools/barcode_jsonl.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {

constexpr const char* kUsage =
    "usage: corvel barcode CODE [--upce] [--ean8] [--pdf FILE] [--png FILE] [--dpi N]\n"
    "       corvel barcode --jsonl\n"
    "  CODE        the code field, read as the label programs read it\n"
    "  --upce      allow UPC-E; --ean8 allow EAN-8 (EAN-13 otherwise)\n"
    "  --pdf FILE  draw the symbol with its number into a PDF file\n"
    "  --png FILE  the same as a PNG image (--dpi, default 300)\n"
    "  --jsonl     answer JSON requests, one per line, on standard input\n";

// Drawing sizes in twips: a module close to the nominal 0.33 mm, bars about 19 mm high
// and quiet zones wider than any of the three symbologies asks for.
constexpr int kModuleWidth = 20;
constexpr int kBarHeight = 1100;
constexpr int kQuietModules = 15;
constexpr int kMarginTwips = 200;
constexpr int kNumberHeight = 400;

struct Options {
  std::string code;
  bool haveCode = false;
  bool allowUpcE = false;
  bool allowEan8 = false;
  std::string pdf;
  std::string png;
  int dpi = 300;
};

int Usage(const char* problem) {
  if (problem) std::fprintf(stderr, "corvel barcode: %s\n", problem);
  std::fputs(kUsage, stderr);
  return 2;
}

const char* SymbologyName(const BarcodeJob& job) {
  return job.IsUpcE ? "UPC-E" : job.IsEan8 ? "EAN-8" : "EAN-13";
}

int ModuleCount(const BarcodeJob& job) {
  return job.IsUpcE ? 51 : job.IsEan8 ? 67 : 95;
}

// The number as a scanner reads it back.
std::string ReadableNumber(const BarcodeJob& job) {
  if (job.IsUpcE) return "0" + job.UpcEDigits + job.CheckDigitText;
  const std::string digits = job.LeftFirst + job.LeftRest + job.RightDigits + job.CheckDigitText;
  return job.IsEan8 ? digits : job.FirstDigit + digits;
}

void PrintDescription(const Options& options, const BarcodeJob& job) {
  std::printf("code field:   %s\n", options.code.c_str());
  std::printf("symbology:    %s\n", SymbologyName(job));
  std::printf("data digits:  %s\n", job.DataDigits.c_str());
  if (job.IsUpcE) {
    std::printf("UPC-E digits: %s (number system 0)\n", job.UpcEDigits.c_str());
  } else {
    if (!job.IsEan8) std::printf("first digit:  %s (left-half parity)\n", job.FirstDigit.c_str());
    std::printf("left half:    %s%s\n", job.LeftFirst.c_str(), job.LeftRest.c_str());
    std::printf("right half:   %s%s\n", job.RightDigits.c_str(), job.CheckDigitText.c_str());
  }
  const int computed = ComputeCheckDigit(job.DataDigits);
  if (job.CheckDigit == computed)
    std::printf("check digit:  %d\n", job.CheckDigit);
  else
    std::printf("check digit:  %d (given with the code; computed would be %d)\n", job.CheckDigit,
                computed);
  std::printf("number:       %s\n", ReadableNumber(job).c_str());
  std::printf("modules:      %d\n", ModuleCount(job));
  std::printf("pattern:      %s\n", job.Pattern.c_str());
}

double TwipsToMm(double twips) {
  return twips * 25.4 / 1440;
}

// Draws the symbol with its number centred under the bars into one PDF document in
// `folder`; returns the PDF's path.
QString DrawToPdfFolder(BarcodeJob& job, const QString& folder) {
  const double symbolWidth = ModuleCount(job) * kModuleWidth;
  const double quiet = kQuietModules * kModuleWidth;
  PrinterTarget target;
  target.kind = PrinterTarget::Kind::PdfFolder;
  target.pdfFolder = folder.toStdString();
  target.program = "corvel";
  target.pageWidthMm = TwipsToMm(symbolWidth + 2 * quiet);
  target.pageHeightMm = TwipsToMm(2 * kMarginTwips + kBarHeight + kNumberHeight);
  std::unique_ptr<PrintSurface> surface = MakePrintSurface(target);

  job.ModuleWidth = kModuleWidth;
  job.BarHeight = kBarHeight;
  DrawBarPattern(job, *surface, quiet, kMarginTwips);  // leaves Times New Roman 12 set
  const std::string number = ReadableNumber(job);
  surface->SetCurrentX(quiet + (symbolWidth - surface->TextWidth(number)) / 2);
  surface->SetCurrentY(kMarginTwips + kBarHeight + 20);
  surface->Print(number, false);
  surface->EndDoc();

  const QStringList pdfs = QDir(folder).entryList({"*.pdf"}, QDir::Files, QDir::Name);
  if (pdfs.size() != 1) throw PrintError("the PDF document was not written");
  return QDir(folder).filePath(pdfs.front());
}

bool ReplaceFile(const QString& from, const std::string& to) {
  const QString target = QString::fromStdString(to);
  if (QFile::exists(target) && !QFile::remove(target)) return false;
  return QFile::copy(from, target);
}

int DrawFiles(BarcodeJob& job, const Options& options) {
  QTemporaryDir work;
  if (!work.isValid()) {
    std::fprintf(stderr, "corvel barcode: cannot make a temporary folder\n");
    return 1;
  }
  const QString pdf = DrawToPdfFolder(job, work.filePath("pdf"));
  if (!options.pdf.empty() && !ReplaceFile(pdf, options.pdf)) {
    std::fprintf(stderr, "corvel barcode: cannot write %s\n", options.pdf.c_str());
    return 1;
  }
  if (!options.png.empty()) {
    const QString prefix = work.filePath("image");
    QProcess render;
    render.start("pdftoppm",
                 {"-png", "-gray", "-singlefile", "-r", QString::number(options.dpi), pdf, prefix});
    if (!render.waitForFinished(60000) || render.exitStatus() != QProcess::NormalExit ||
        render.exitCode() != 0) {
      std::fprintf(stderr, "corvel barcode: pdftoppm could not render the symbol\n");
      return 1;
    }
    if (!ReplaceFile(prefix + ".png", options.png)) {
      std::fprintf(stderr, "corvel barcode: cannot write %s\n", options.png.c_str());
      return 1;
    }
  }
  return 0;
}

int RunBarcode(const std::vector<std::string>& args) {
  if (args.size() == 1 && args[0] == "--jsonl") return RunJsonlSession(std::cin, stdout);
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--upce") {
      options.allowUpcE = true;
    } else if (arg == "--ean8") {
      options.allowEan8 = true;
    } else if (arg == "--pdf" || arg == "--png" || arg == "--dpi") {
      if (!hasValue) return Usage((arg + " needs a value").c_str());
      const std::string& value = args[++i];
      if (arg == "--pdf") options.pdf = value;
      if (arg == "--png") options.png = value;
      if (arg == "--dpi") {
        options.dpi = std::atoi(value.c_str());
        if (options.dpi < 20 || options.dpi > 2400) return Usage("--dpi takes 20 to 2400");
      }
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--jsonl") {
      return Usage("--jsonl takes no other arguments");
    } else if (arg.size() > 2 && arg.rfind("--", 0) == 0) {
      return Usage(("unknown option " + arg).c_str());
    } else if (!options.haveCode) {
      options.code = arg;  // a code field may start with '-' (it reads as a negative number)
      options.haveCode = true;
    } else {
      return Usage("only one code at a time");
    }
  }
  if (!options.haveCode) return Usage("no code given");

  BarcodeJob job;
  try {
    PrepareBarcodeDigits(job, options.code, options.allowUpcE, options.allowEan8);
  } catch (const OverflowError&) {
    std::fprintf(stderr,
                 "corvel barcode: the code reads as a number beyond the range of a double\n");
    return 1;
  }
  BuildBarPattern(job);
  PrintDescription(options, job);
  if (options.pdf.empty() && options.png.empty()) return 0;
  try {
    return DrawFiles(job, options);
  } catch (const Failure& failure) {
    std::fprintf(stderr, "corvel barcode: %s\n", failure.what());
    return 1;
  }
}

const bool registered =
    RegisterSubcommand("barcode", "inspect and draw barcode symbols", &RunBarcode);

}  // namespace
}  // namespace corvel::tools
