// PDF file names sort in the order the documents were completed, within one process,
// between surfaces and between processes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <tuple>

#include "platform/pdf_file_names.h"
#include "platform/qt_print_surface.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

// Zero-padded fields sort as numbers do, so names sort in completion order.
TEST(PdfFileNames, FormatAndCleanProgramName) {
  const std::tuple<long long, int, const char*, const char*> rows[] = {
      {0, 1, "tarewise", "19700101-000000-000000-0001-tarewise.pdf"},
      {1796601600123456LL, 42, "sheetwise", "20261207-000000-123456-0042-sheetwise.pdf"},
      {1796601600000000LL, 3, "../a b", "20261207-000000-000000-0003-___a_b.pdf"},
      {1796601600000000LL, 3, "", "20261207-000000-000000-0003-document.pdf"},
  };
  for (const auto& [micros, sequence, program, expected] : rows) {
    const std::chrono::system_clock::time_point time{std::chrono::microseconds(micros)};
    EXPECT_EQ(PdfFileName(time, sequence, program), expected);
  }
}

PrinterTarget FolderTarget(const QString& folder, const char* program) {
  PrinterTarget target;
  target.pdfFolder = folder.toStdString();
  target.program = program;
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

// The child half of the next test: prints one document into the folder it is given.
TEST(PdfFileNames, ChildPrintsOneDocument) {
  const QString folder = qEnvironmentVariable("CORVEL_TEST_CHILD_FOLDER");
  if (folder.isEmpty())
    GTEST_SKIP() << "only run as the child of SurfacesAndProcessesSortInPrintingOrder";
  QtPrintSurface surface(FolderTarget(folder, "child"));
  surface.Print(qEnvironmentVariable("CORVEL_TEST_CHILD_WORD").toStdString(), true);
  surface.EndDoc();
}

TEST(PdfFileNames, SurfacesAndProcessesSortInPrintingOrder) {
  const QString folder = test::MakeTempFolder();
  QtPrintSurface station(FolderTarget(folder, "tarewise")),
      runner(FolderTarget(folder, "sheetwise"));
  std::vector<QString> expected;
  for (int i = 1; i <= 3; ++i) {
    const QString word = QString("p%1").arg(i);
    const test::RunResult child =
        test::RunProgram(QCoreApplication::applicationFilePath(),
                         {"--gtest_filter=PdfFileNames.ChildPrintsOneDocument"}, {},
                         {"CORVEL_TEST_CHILD_FOLDER=" + folder, "CORVEL_TEST_CHILD_WORD=" + word});
    ASSERT_EQ(child.exitCode, 0) << child.out.toStdString() << child.err.toStdString();
    expected.push_back(word);
    // This process prints between its children, from two surfaces in turn.
    for (QtPrintSurface* surface : {&station, &runner, &station}) {
      const QString mine = QString("q%1").arg(expected.size());
      surface->Print(mine.toStdString(), true);
      surface->EndDoc();
      expected.push_back(mine);
    }
  }
  EXPECT_EQ(FirstWords(test::ListPdfFiles(folder)), expected);
}

}  // namespace
}  // namespace corvel
