// The station's start-up with a full product table (5000 products) to the window shown,
// and one weighed label printed into a PDF folder. Run with the offscreen platform when
// there is no display; medians are reported over repetitions.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>

#include "common/clock.h"
#include "common/fixed_record.h"
#include "common/settings_store.h"
#include "platform/printing.h"
#include "station/station_window.h"
#include "station/weighed_label.h"
#include "support/bench_data.h"

namespace {

using corvel::bench::Scratch;

class SilentMessages : public corvel::MessageBoxes {
 public:
  bool AskYesNo(std::string_view, std::string_view, bool defaultYes) override { return defaultYes; }
  void Inform(std::string_view, std::string_view) override {}
};

std::string FullProductFile() {
  const QString path = Scratch().filePath("pdlist");
  if (!QFile::exists(path)) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    for (int n = 1; n <= 5000; ++n) {
      corvel::RecordBytes record(150, 0);
      corvel::PutInt64(record, 0, static_cast<std::int64_t>(n) * 10000);
      corvel::PutInt64(record, 10, 129900);
      corvel::PutTextField(record, 24, 24, "Product " + std::to_string(n));
      corvel::PutFloat32(record, 100, 0.015f);
      file.write(reinterpret_cast<const char*>(record.data()), 150);
    }
  }
  return path.toStdString();
}

void BM_StartUpWith5000Products(benchmark::State& state) {
  const std::string products = FullProductFile();
  corvel::MemorySettingsStore settings;
  SilentMessages messages;
  corvel::SystemClock clock;
  corvel::PrinterTarget target;
  for (auto _ : state) {
    corvel::StationWindow window(
        corvel::StationServices{settings, messages, clock, target, nullptr, products});
    window.show();
    QApplication::processEvents();
    benchmark::DoNotOptimize(window.Combo1->count());
  }
}
BENCHMARK(BM_StartUpWith5000Products)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_WeighedLabelToPdf(benchmark::State& state) {
  corvel::PrinterTarget target;
  target.kind = corvel::PrinterTarget::Kind::PdfFolder;
  target.pdfFolder = Scratch().filePath("pdf").toStdString();
  target.program = "tarewise";
  target.pageWidthMm = 60;
  target.pageHeightMm = 40;
  QDir().mkpath(QString::fromStdString(target.pdfFolder));
  corvel::MemorySettingsStore settings;
  corvel::SystemClock clock;
  corvel::BarcodeJob job;
  const auto surface = corvel::MakePrintSurface(target);
  const corvel::LabelBoxes boxes = corvel::bench::SampleLabelBoxes();
  for (auto _ : state)
    corvel::PrintWeighedLabel(boxes, settings, *surface, clock, job);
}
BENCHMARK(BM_WeighedLabelToPdf)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace
