// PDF file names sort in the order the documents were completed, within one process,
// between surfaces and between processes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcessEnvironment>
#include <algorithm>
#include <chrono>

#include "platform/pdf_file_names.h"
#include "platform/qt_print_surface.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using std::chrono::microseconds;
using std::chrono::system_clock;

system_clock::time_point At(long long microsSinceEpoch) {
  return system_clock::time_point(microseconds(microsSinceEpoch));
}

TEST(PdfFileNames, FormatAndCleanProgramName) {
  struct Row {
    const char* name;
    long long micros;
    int sequence;
    const char* program;
    const char* expected;
  } rows[] = {
      {"Epoch", 0, 1, "tarewise", "19700101-000000-000000-0001-tarewise.pdf"},
      {"Microseconds", 1796601600123456LL, 42, "sheetwise",
       "20261207-000000-123456-0042-sheetwise.pdf"},
      {"UnsafeProgramCharacters", 1796601600000000LL, 3, "../a b",
       "20261207-000000-000000-0003-___a_b.pdf"},
      {"EmptyProgram", 1796601600000000LL, 3, "", "20261207-000000-000000-0003-document.pdf"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(PdfFileName(At(row.micros), row.sequence, row.program), row.expected);
  }
}

TEST(PdfFileNames, LaterDocumentsSortLater) {
  struct Row {
    const char* name;
    long long firstMicros, laterMicros;
    int firstSequence, laterSequence;
  } rows[] = {
      {"SameMicrosecondNextSequence", 1796601600000000LL, 1796601600000000LL, 9, 10},
      {"NextMicrosecond", 1796601600999999LL, 1796601601000000LL, 500, 1},
      {"NextDay", 1796687999999999LL, 1796688000000000LL, 7, 1},
      {"NextYear", 1798761599000000LL, 1798761600000000LL, 1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_LT(PdfFileName(At(row.firstMicros), row.firstSequence, "b"),
              PdfFileName(At(row.laterMicros), row.laterSequence, "a"));
  }
}

PrinterTarget FolderTarget(const QString& folder, const char* program) {
  PrinterTarget target;
  target.pdfFolder = folder.toStdString();
  target.program = program;
  target.pageWidthMm = 50;
  target.pageHeightMm = 30;
  return target;
}

std::vector<QString> FirstWords(const QStringList& pdfs) {
  std::vector<QString> words;
  for (const QString& pdf : pdfs) {
    const auto all = test::PdfWords(pdf);
    words.push_back(all.empty() ? QString() : all.front().text);
  }
  return words;
}

TEST(PdfFileNames, TwoSurfacesInterleavedSortInPrintingOrder) {
  const QString folder = test::MakeTempFolder();
  QtPrintSurface station(FolderTarget(folder, "tarewise"));
  QtPrintSurface runner(FolderTarget(folder, "sheetwise"));
  const std::vector<QString> order = {"d1", "d2", "d3", "d4", "d5", "d6"};
  for (std::size_t i = 0; i < order.size(); ++i) {
    QtPrintSurface& surface = i % 3 == 1 ? runner : station;
    surface.Print(order[i].toStdString(), true);
    surface.EndDoc();
  }
  EXPECT_EQ(FirstWords(test::ListPdfFiles(folder)), order);
}

// The child half of the next test: prints one document into the folder it is given.
TEST(PdfFileNames, ChildPrintsOneDocument) {
  const QString folder = qEnvironmentVariable("CORVEL_TEST_CHILD_FOLDER");
  if (folder.isEmpty()) GTEST_SKIP() << "only run as the child of ProcessesSortInPrintingOrder";
  QtPrintSurface surface(FolderTarget(folder, "child"));
  surface.Print(qEnvironmentVariable("CORVEL_TEST_CHILD_WORD").toStdString(), true);
  surface.EndDoc();
}

TEST(PdfFileNames, ProcessesSortInPrintingOrder) {
  const QString folder = test::MakeTempFolder();
  const QString self = QCoreApplication::applicationFilePath();
  std::vector<QString> expected;
  for (int i = 1; i <= 3; ++i) {
    const QString word = QString("p%1").arg(i);
    const test::RunResult child =
        test::RunProgram(self, {"--gtest_filter=PdfFileNames.ChildPrintsOneDocument"}, {},
                         {"CORVEL_TEST_CHILD_FOLDER=" + folder, "CORVEL_TEST_CHILD_WORD=" + word});
    ASSERT_EQ(child.exitCode, 0) << child.out.toStdString() << child.err.toStdString();
    expected.push_back(word);
    // This process prints between its children.
    QtPrintSurface surface(FolderTarget(folder, "parent"));
    surface.Print(QString("q%1").arg(i).toStdString(), true);
    surface.EndDoc();
    expected.push_back(QString("q%1").arg(i));
  }
  EXPECT_EQ(FirstWords(test::ListPdfFiles(folder)), expected);
}

}  // namespace
}  // namespace corvel
