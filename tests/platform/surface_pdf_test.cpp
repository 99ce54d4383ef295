// The Qt print surface writing real PDF files: where text lands, the metrics it reports,
// the pages and files it produces, and how it fails (bars are measured dot by dot in
// tests/tools/calibration_print_test.cpp); and the PDF folder printing falls back to
// without a print server.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QMap>
#include <QRegularExpression>
#include <limits>
#include <tuple>

#include "common/errors.h"
#include "common/settings_store.h"
#include "platform/printing.h"
#include "platform/qt_print_surface.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

PrinterTarget PdfTarget(const QString& folder, double widthMm = 60, double heightMm = 40,
                        const char* program = "surfacetest") {
  PrinterTarget target;
  target.pdfFolder = folder.toStdString();
  target.program = program;
  target.pageWidthMm = widthMm;
  target.pageHeightMm = heightMm;
  return target;
}

// Every entry of a folder, hidden files included.
QStringList AllEntries(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST(SurfacePdf, TextPlacementAndMetrics) {
  // Family, points, bold, cursor, the font the PDF embeds.
  const std::tuple<const char*, double, bool, double, double, const char*> rows[] = {
      {"Tahoma", 8, false, 0, 0, "Tahoma"},
      {"Tahoma", 36, true, 2000, 1500, "Tahoma"},
      {"Times New Roman", 7.5, false, 4321, 123, "LiberationSerif"}};
  for (const auto& [family, size, bold, x, y, embedded] : rows) {
    SCOPED_TRACE(family);
    const QString folder = test::MakeTempFolder();
    QtPrintSurface surface(PdfTarget(folder, 200, 200));
    surface.SetFontName(family);
    surface.SetFontSize(size);
    surface.SetBold(bold);
    const double width = surface.TextWidth("Wide "), height = surface.TextHeight("Wide");
    // At least the em size: a font set by point size under the twips scale came out at
    // about 83 % of it.
    EXPECT_GE(height, size * 20 * 0.99);
    surface.SetCurrentX(x);
    surface.SetCurrentY(y);
    surface.Print("Wide ", false);
    surface.Print("Next", true);
    surface.NewPage();
    surface.SetCurrentX(x);
    surface.SetCurrentY(y);
    surface.Print("Later", true);
    surface.Print("Below", true);
    surface.NewPage();
    surface.EndDoc();
    // Text starts at the cursor with its top there (pdftotext's box); the next text is
    // one reported width to the right, a space's gap after the word, and the next line
    // one reported height lower. The twips scale holds on the second page, and the
    // NewPage after the last item adds no blank page.
    const QString pdf = test::ListPdfFiles(folder).value(0);
    QMap<QString, test::PdfWord> words;
    for (const test::PdfWord& word : test::PdfWords(pdf))
      words.insert(word.text, word);
    EXPECT_NEAR(words["Wide"].xMin, x / 20, 1.5);
    EXPECT_NEAR(words["Wide"].yMin, y / 20, 2.0);
    EXPECT_NEAR(words["Next"].xMin, (x + width) / 20, 1.0);
    const double gap = words["Next"].xMin - words["Wide"].xMax;
    EXPECT_TRUE(gap > 0 && gap < size * 0.6) << gap;
    EXPECT_EQ(std::tuple(words["Later"].page, words["Later"].xMin, words["Later"].yMin),
              std::tuple(2, words["Wide"].xMin, words["Wide"].yMin));
    EXPECT_NEAR(words["Below"].yMin - words["Later"].yMin, height / 20, 0.5);
    EXPECT_EQ(test::PdfPageCount(pdf), 2);
    EXPECT_TRUE(test::RunProgram("pdffonts", {pdf}).out.contains(embedded));
  }
}

// One file per document in a folder created when needed, on the target's page (A4 when
// it names none) or the paper size code's (an unknown code keeps the page), named so that
// the files sort in the order the documents were completed, between surfaces too, after
// a program name made safe. Nothing drawn writes nothing; an abandoned or never-ended
// document leaves no file, temporary or not.
TEST(SurfacePdf, DocumentsPageSizesAndFileNames) {
  const QString folder = test::MakeTempFolder() + "/new/PDF";
  QtPrintSurface station(PdfTarget(folder, 60, 40, "tarewise")),
      runner(PdfTarget(folder, 0, 0, "../a b"));
  station.EndDoc();
  station.Print("abandoned", true);
  station.AbortDoc();
  QtPrintSurface(PdfTarget(folder)).Print("never ended", true);
  EXPECT_TRUE(AllEntries(folder).isEmpty());
  // The surface, paper size code and orientation set on it (0: none), the page in
  // millimetres, the end of the file's name.
  const std::tuple<QtPrintSurface*, int, int, double, double, const char*> rows[] = {
      {&runner, 0, 0, 210, 297, "-___a_b.pdf"},
      {&station, 9999, 0, 60, 40, "-tarewise.pdf"},
      {&station, kPaperA5, kLandscape, 210, 148, "-tarewise.pdf"},
      {&runner, kPaperA5, 0, 148, 210, "-___a_b.pdf"}};
  QStringList written;
  for (const auto& [surface, paper, orientation, width, height, name] : rows) {
    if (paper) surface->SetPaperSize(paper);
    if (orientation) surface->SetOrientation(orientation);
    EXPECT_NEAR(surface->PageWidth(), width * 1440 / 25.4, 2) << "before drawing";
    EXPECT_NEAR(surface->PageHeight(), height * 1440 / 25.4, 2) << "before drawing";
    surface->FillRect(0, 0, 100, 100, 0);
    surface->EndDoc();
    written << surface->LastPdfFile();
    const QString pattern = "/\\d{8}-\\d{6}-\\d{6}-\\d{4}" + QRegularExpression::escape(name);
    EXPECT_TRUE(QRegularExpression(pattern + "$").match(written.back()).hasMatch()) << name;
    const QSize page = test::RasterisePdf(written.back(), 72).size();
    EXPECT_NEAR(page.width(), width / 25.4 * 72, 1.5) << name;
    EXPECT_NEAR(page.height(), height / 25.4 * 72, 1.5) << name;
  }
  EXPECT_EQ(AllEntries(folder).size(), written.size());
  EXPECT_EQ(test::ListPdfFiles(folder), written);
}

// An unwritable folder and font sizes no surface can set are refused; a document cut
// short by a file size limit (as on a full disk) is reported and removed, and the next
// one is written, under the name chosen for it.
TEST(SurfacePdf, FailuresAreReportedAndLeaveNothing) {
  const QString folder = test::MakeTempFolder();
  QFile blocker(folder + "/not-a-folder");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  QtPrintSurface blocked(PdfTarget(folder + "/not-a-folder/PDF"));
  EXPECT_THROW(blocked.Print("x", true), PrintError);
  EXPECT_THROW(blocked.FillRect(0, 0, 10, 10, 0), PrintError);
  for (double bad : {0.99, 1638.5, std::numeric_limits<double>::quiet_NaN()})
    EXPECT_THROW(blocked.SetFontSize(bad), PrintError) << bad;

  PrinterTarget chosen = PdfTarget(folder + "/out");
  chosen.pdfFile = chosen.pdfFolder + "/labels.pdf";
  QDir().mkpath(folder + "/out");
  // Work files a killed run left an hour ago go; one of a run under way stays.
  for (const char* name : {"/out/.document-old.partial", "/out/.document-new.partial"}) {
    QFile work(folder + name);
    ASSERT_TRUE(work.open(QIODevice::WriteOnly) && work.write("%") == 1);
  }
  QFile stale(folder + "/out/.document-old.partial");
  ASSERT_TRUE(stale.open(QIODevice::ReadWrite) &&
              stale.setFileTime(QDateTime::currentDateTime().addSecs(-7200),
                                QFileDevice::FileModificationTime));
  stale.close();

  QtPrintSurface surface(chosen);
  for (int line = 0; line < 40; ++line)
    surface.Print("Line " + std::to_string(line) + " of a label with some text", true);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const rlimit small{4096, old.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_THROW(surface.EndDoc(), PrintError);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(AllEntries(folder + "/out"), QStringList{".document-new.partial"});
  surface.Print("whole", true);
  surface.EndDoc();
  EXPECT_EQ(AllEntries(folder + "/out"), (QStringList{".document-new.partial", "labels.pdf"}));
  // Readable as the user's umask allows, as any file the user makes.
  const mode_t mask = ::umask(022);
  ::umask(mask);
  struct stat made {};
  ASSERT_EQ(::stat((folder + "/out/labels.pdf").toLocal8Bit().constData(), &made), 0);
  EXPECT_EQ(made.st_mode & 0777, 0666 & ~mask);
}

// Only an unnamed printer on a machine with no print server at all (or one without
// printers) falls back to a PDF folder; a server that is installed but stopped is not
// bypassed, and a named printer stays named, so printing on it fails and says so.
TEST(ChoosePrinterTarget, OnlyAMachineWithoutAPrintServerFallsBack) {
  using S = PrintServerState;
  // Server state, a print server installed, documents go to the PDF folder.
  const std::tuple<S, bool, bool> rows[] = {
      {S::HasPrinters, true, false}, {S::Silent, true, false}, {S::NoPrinters, true, true},
      {S::Absent, true, false},      {S::Absent, false, true},
  };
  for (const auto& [state, installed, fallback] : rows)
    EXPECT_EQ(FallsBackToPdf(state, installed), fallback)
        << static_cast<int>(state) << " " << installed;
  // A stopped server named for this user: the default printer, which fails when used.
  const QByteArray server = qgetenv("CUPS_SERVER");
  qputenv("CUPS_SERVER", (test::MakeTempFolder() + "/stopped.sock").toUtf8());
  MemorySettingsStore settings;
  EXPECT_EQ(ChoosePrinterTarget(settings, "Printer", "sheetwise").kind,
            PrinterTarget::Kind::CupsQueue);
  settings.Save("Printer", "PrinterName", "Zebra");
  EXPECT_EQ(ChoosePrinterTarget(settings, "Printer", "sheetwise").queue, "Zebra");
  if (server.isNull())
    qunsetenv("CUPS_SERVER");
  else
    qputenv("CUPS_SERVER", server);
}

}  // namespace
}  // namespace corvel
