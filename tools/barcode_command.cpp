// "corvel barcode": shows how a code field is encoded, draws its symbol into a PDF or PNG
// file, or answers encoder requests as JSON lines (see barcode_jsonl.h).
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "barcode/barcode_job.h"
#include "common/errors.h"
#include "common/print_surface.h"
#include "common/printer_target.h"
#include "common/regular_file.h"
#include "common/units.h"
#include "common/whole_file.h"
#include "platform/printing.h"
#include "platform/screen_print_surface.h"
#include "tools/barcode_jsonl.h"
#include "tools/options/option_table.h"
#include "tools/subcommands.h"

namespace corvel::tools {
namespace {

// The usage text lives in tools/corvel.help with the manual page.
const char* const kUsage = UsageOf("barcode");

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

const char* SymbologyName(const BarcodeJob& job) {
  constexpr const char* kNames[] = {"EAN-13", "EAN-8", "UPC-E"};  // in Symbology's order
  return kNames[static_cast<int>(SymbologyOf(job))];
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
  std::printf("modules:      %d\n", SymbolModules(job));
  std::printf("pattern:      %s\n", job.Pattern.c_str());
}

// The page of a drawing: the symbol with its quiet zones, the number under it and a margin
// above and below, in millimetres.
double PageWidthMm(const BarcodeJob& job) {
  return MmFromTwips((SymbolModules(job) + 2 * kQuietModules) * kModuleWidth);
}
double PageHeightMm() {
  return MmFromTwips(2 * kMarginTwips + kBarHeight + kNumberHeight);
}

// Draws the symbol with its number centred under the bars and ends the document.
void DrawSymbol(BarcodeJob& job, PrintSurface& surface) {
  const double symbolWidth = SymbolModules(job) * kModuleWidth;
  const double quiet = kQuietModules * kModuleWidth;
  job.ModuleWidth = kModuleWidth;
  job.BarHeight = kBarHeight;
  DrawBarPattern(job, surface, quiet,
                 kMarginTwips);  // the number below prints in the Times New Roman 12 it leaves
  const std::string number = ReadableNumber(job);
  surface.SetCurrentX(quiet + (symbolWidth - surface.TextWidth(number)) / 2);
  surface.SetCurrentY(kMarginTwips + kBarHeight + 20);
  surface.Print(number, false);
  surface.EndDoc();
}

// Draws the symbol into one PDF document in `folder`; returns the PDF's path.
QString DrawToPdfFolder(BarcodeJob& job, const QString& folder) {
  PrinterTarget target;
  target.kind = PrinterTarget::Kind::PdfFolder;
  target.pdfFolder = folder.toStdString();
  target.program = "corvel";
  target.pageWidthMm = PageWidthMm(job);
  target.pageHeightMm = PageHeightMm();
  DrawSymbol(job, *MakePrintSurface(target));
  const QStringList pdfs = QDir(folder).entryList({"*.pdf"}, QDir::Files, QDir::Name);
  if (pdfs.size() != 1) throw PrintError("the PDF document was not written");
  return QDir(folder).filePath(pdfs.front());
}

// Draws the symbol into a grey PNG image at `dpi` dots per inch, with the surface the
// label preview draws on, and writes it to `path`.
void DrawToPng(BarcodeJob& job, const QString& path, int dpi) {
  ScreenPrintSurface surface(PageWidthMm(job), PageHeightMm(), dpi);
  DrawSymbol(job, surface);
  QImage image = surface.Image().convertToFormat(QImage::Format_Grayscale8);
  const int dotsPerMetre = static_cast<int>(std::lround(dpi / 0.0254));
  image.setDotsPerMeterX(dotsPerMetre);
  image.setDotsPerMeterY(dotsPerMetre);
  QImageWriter writer(path, "png");
  if (!writer.write(image))
    throw IoError("cannot write the PNG image: " + writer.errorString().toStdString());
}

// The file a drawing is written to for the name the user gave: the name itself when it
// is new or a regular file, the file a symlink leads to. Anything else (a device, a FIFO,
// a folder) is refused: replacing it would destroy something that is not a drawing, and
// opening it could block. Returns false with the reason in `problem`.
bool ResolveOutput(const std::string& name, std::string& resolved, std::string& problem) {
  struct stat info {};
  if (lstat(name.c_str(), &info) != 0) {
    if (errno != ENOENT) {
      problem = name + ": " + std::strerror(errno);
      return false;
    }
    resolved = name;  // a new name; its folder is checked when the file is written
    return true;
  }
  resolved = name;
  if (S_ISLNK(info.st_mode)) {
    char target[PATH_MAX];
    if (!realpath(name.c_str(), target) || stat(target, &info) != 0) {
      problem = name + " is a symlink whose target cannot be reached: " + std::strerror(errno);
      return false;
    }
    resolved = target;
  }
  if (S_ISREG(info.st_mode)) return true;
  problem = (resolved == name ? name : name + " leads to " + resolved + ", which") + " is " +
            FileKind(info.st_mode) + ", not a regular file; give a new file name or a regular file";
  return false;
}

// A private folder beside `target` (on its file system, so a rename from it into place
// is atomic) where a drawing is made; removed with whatever it holds when it goes.
std::unique_ptr<QTemporaryDir> WorkFolderBeside(const std::string& target) {
  const std::size_t slash = target.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  auto work =
      std::make_unique<QTemporaryDir>(QString::fromStdString(folder) + "/.corvel-barcode-XXXXXX");
  if (!work->isValid())
    throw IoError("cannot write " + target + ": " + work->errorString().toStdString());
  return work;
}

// A drawn file must end as a whole one does: one cut short by a full disk is not put in
// place of the user's file.
void CheckDrawnFile(const QString& path, const QByteArray& ending, const char* what) {
  QFile file(path);
  QByteArray bytes;
  if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
  if (!bytes.trimmed().endsWith(ending))
    throw IoError(std::string("the ") + what + " was not written completely (disk full?)");
}

// Each drawing is made in a work folder beside the file it replaces and renamed over it
// only once it is complete and on the disk, so a failure (full disk, file size limit)
// leaves the old file as it was.
int DrawFiles(BarcodeJob& job, const std::string& pdfPath, const std::string& pngPath, int dpi) {
  // Both are drawn before either is put in place: a failing one leaves the other file too.
  std::unique_ptr<QTemporaryDir> pdfWork, pngWork;
  QString pdf, png;
  if (!pdfPath.empty()) {
    pdfWork = WorkFolderBeside(pdfPath);
    pdf = DrawToPdfFolder(job, pdfWork->filePath("pdf"));
    CheckDrawnFile(pdf, "%%EOF", "PDF document");
  }
  if (!pngPath.empty()) {
    pngWork = WorkFolderBeside(pngPath);
    png = pngWork->filePath("image.png");
    DrawToPng(job, png, dpi);
    // A PNG ends with its IEND chunk and that chunk's CRC.
    CheckDrawnFile(png, QByteArray("IEND\xae\x42\x60\x82", 8), "PNG image");
  }
  if (!pngPath.empty()) ReplaceWithFinishedFile(png.toStdString(), pngPath);
  if (!pdfPath.empty()) ReplaceWithFinishedFile(pdf.toStdString(), pdfPath);
  return 0;
}

int RunBarcode(const std::vector<std::string>& args) {
  if (args.size() == 1 && args[0] == "--jsonl") return RunJsonlSession(std::cin, stdout);
  Options options;
  const OptionTable table{
      "barcode",
      kUsage,
      {Switch("--upce", options.allowUpcE),
       Switch("--ean8", options.allowEan8),
       Value("--pdf", options.pdf),
       Value("--png", options.png),
       WholeNumber("--dpi", options.dpi, 20, 2400),
       // Alone on the line it was answered above.
       {"--jsonl", false, [](const std::string&) { return "--jsonl takes no other arguments"; }}},
      [&options](const std::string& arg) -> std::string {
        if (options.haveCode) return "only one code at a time";
        options.code = arg;
        options.haveCode = true;
        return "";
      },
      // A code field may start with '-' (it reads as a negative number).
      false};
  if (const std::string problem = ParseOptions(table, args); !problem.empty())
    return UsageError(table, problem);
  if (!options.haveCode) return UsageError(table, "no code given");
  // Both names are checked before anything is drawn, so a refused one leaves no other
  // file half done.
  std::string pdfPath, pngPath, problem;
  if ((!options.pdf.empty() && !ResolveOutput(options.pdf, pdfPath, problem)) ||
      (!options.png.empty() && !ResolveOutput(options.png, pngPath, problem))) {
    std::fprintf(stderr, "corvel barcode: %s\n", problem.c_str());
    return 1;
  }

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
  // Past a file size limit a write must fail with an error, not end the process.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    return DrawFiles(job, pdfPath, pngPath, options.dpi);
  } catch (const Failure& failure) {
    std::fprintf(stderr, "corvel barcode: %s\n", failure.what());
    return 1;
  }
}

const bool registered = RegisterSubcommand("barcode", &RunBarcode);

}  // namespace
}  // namespace corvel::tools
