// PDF documents on disk: a document cut short by a file size limit (as on a full disk) is
// removed and reported, never left or renamed into place; a file chosen in the print
// dialog names the documents, numbered after it.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QDir>

#include "common/errors.h"
#include "platform/printing.h"
#include "platform/qt_print_surface.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

PrinterTarget PdfTarget(const QString& folder, const QString& file = {}) {
  PrinterTarget target;
  target.kind = PrinterTarget::Kind::PdfFolder;
  target.pdfFolder = folder.toStdString();
  target.pdfFile = file.isEmpty() ? std::string() : (folder + "/" + file).toStdString();
  target.program = "pdftest";
  target.pageWidthMm = 60;
  target.pageHeightMm = 40;
  return target;
}

void DrawLabel(PrintSurface& surface, int lines) {
  for (int line = 0; line < lines; ++line)
    surface.Print("Line " + std::to_string(line) + " of a label with some text", true);
  surface.FillRect(100, 100, 2000, 400, 0);
}

TEST(PdfDocument, DocumentCutShortIsRemovedAndReported) {
  for (const char* file : {"", "chosen.pdf"}) {
    SCOPED_TRACE(file);
    const QString folder = test::MakeTempFolder();
    QtPrintSurface surface(PdfTarget(folder, file));
    DrawLabel(surface, 40);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit small{4096, old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    try {
      surface.EndDoc();
      ADD_FAILURE() << "a cut-short document was reported as written";
    } catch (const PrintError& error) {
      EXPECT_NE(std::string(error.what()).find("not written completely"), std::string::npos);
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
    // The next document is whole again.
    DrawLabel(surface, 1);
    EXPECT_NO_THROW(surface.EndDoc());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);
  }
}

TEST(PdfDocument, ChosenFileNamesTheDocuments) {
  const QString folder = test::MakeTempFolder();
  QtPrintSurface surface(PdfTarget(folder, "labels.pdf"));
  for (int document = 0; document < 3; ++document) {
    DrawLabel(surface, 1);
    surface.EndDoc();
  }
  EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
            (QStringList{"labels-2.pdf", "labels-3.pdf", "labels.pdf"}));
  EXPECT_EQ(surface.LastPdfFile(), folder + "/labels-3.pdf");
}

}  // namespace
}  // namespace corvel
