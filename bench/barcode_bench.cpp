// Encoder and bar drawing speed: digits to width pattern per symbology, and one EAN-13
// drawn into a PDF document on the real Qt surface.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <memory>

#include "barcode/barcode_job.h"
#include "common/printer_target.h"
#include "platform/printing.h"

namespace {

void PrepareAndBuild(benchmark::State& state, const char* code, bool allowUpcE, bool allowEan8) {
  corvel::BarcodeJob job;
  for (auto _ : state) {
    corvel::PrepareBarcodeDigits(job, code, allowUpcE, allowEan8);
    corvel::BuildBarPattern(job);
    benchmark::DoNotOptimize(job.Pattern.data());
  }
}

void BM_PrepareAndBuild_Ean13(benchmark::State& state) {
  PrepareAndBuild(state, "4006381333931", true, true);
}
void BM_PrepareAndBuild_Ean8(benchmark::State& state) {
  PrepareAndBuild(state, "9638507", true, true);
}
void BM_PrepareAndBuild_UpcE(benchmark::State& state) {
  PrepareAndBuild(state, "1230000045", true, true);
}

// One document per iteration: the symbol's 30 bars, then the PDF file is written.
void BM_DrawEan13ToPdf(benchmark::State& state) {
  QTemporaryDir folder;
  corvel::PrinterTarget target;
  target.kind = corvel::PrinterTarget::Kind::PdfFolder;
  target.pdfFolder = folder.path().toStdString();
  target.program = "bench";
  target.pageWidthMm = 60;
  target.pageHeightMm = 40;
  std::unique_ptr<corvel::PrintSurface> surface = corvel::MakePrintSurface(target);
  corvel::BarcodeJob job;
  corvel::PrepareBarcodeDigits(job, "4006381333931", false, false);
  corvel::BuildBarPattern(job);
  job.ModuleWidth = 20;
  job.BarHeight = 1100;
  for (auto _ : state) {
    corvel::DrawBarPattern(job, *surface, 300, 200);
    surface->EndDoc();
  }
}

BENCHMARK(BM_PrepareAndBuild_Ean13);
BENCHMARK(BM_PrepareAndBuild_Ean8);
BENCHMARK(BM_PrepareAndBuild_UpcE);
BENCHMARK(BM_DrawEan13ToPdf)->Unit(benchmark::kMicrosecond);

}  // namespace
