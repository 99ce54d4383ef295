// Entry point shared by the benchmarks: a QApplication (fonts, PDF output and the
// station window need one; offscreen when there is no display) around Google Benchmark.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "platform/printing.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  corvel::SetUpFonts();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
