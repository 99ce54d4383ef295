// The shop's data: export and import of a full product file (5000 products) through the
// CSV code and the whole-file write; what a label's journal row adds on the window's
// thread (the row worked out and queued) and until it is committed on the disk; a day's
// totals in a journal of 400 days of a busy counter (1000 labels a day), whose size on
// the disk is reported as the counter "db_MB". Medians over repetitions.
#include <benchmark/benchmark.h>

#include <QFileInfo>

#include "common/clock.h"
#include "common/whole_file.h"
#include "journal/journal_store.h"
#include "journal/journal_writer.h"
#include "station/product_csv.h"
#include "station/station_journal.h"
#include "support/bench_data.h"

namespace {

using corvel::bench::Scratch;

std::string FullProductFile() {
  std::string bytes;
  for (int n = 1; n <= 5000; ++n) {
    corvel::ProductRecord record;
    record.SetCodeFixed(static_cast<std::int64_t>(n) * 10000);
    record.SetPriceFixed(129900 + n);
    record.SetDescription(1, "Product " + std::to_string(n));
    record.SetDescription(2, "Line two, \"quoted\"");
    record.SetShelfLifeDays(static_cast<std::int16_t>(n % 30));
    record.SetTare(0.015f);
    bytes.append(reinterpret_cast<const char*>(record.Bytes().data()), 150);
  }
  return bytes;
}

void BM_ExportProducts5000(benchmark::State& state) {
  const std::string pdlist = FullProductFile();
  const std::string csv = Scratch().filePath("export.csv").toStdString();
  for (auto _ : state)
    corvel::WriteWholeFile(csv, corvel::ExportProductsCsv(corvel::ProductsOfFile(pdlist)));
}
BENCHMARK(BM_ExportProducts5000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// Every price changed: 5000 rows checked, 5000 records rewritten, the file replaced.
void BM_ImportProducts5000(benchmark::State& state) {
  const std::string pdlist = FullProductFile();
  std::vector<corvel::ProductRecord> changed = corvel::ProductsOfFile(pdlist);
  for (corvel::ProductRecord& record : changed)
    record.SetPriceFixed(record.PriceFixed() + 5000);
  const std::string csv = corvel::ExportProductsCsv(changed);
  const std::string path = Scratch().filePath("pdlist").toStdString();
  for (auto _ : state) {
    const corvel::ImportPlan plan = corvel::PlanProductImport(corvel::ProductsOfFile(pdlist), csv);
    if (!plan.problems.empty() || plan.updated != 5000) state.SkipWithError("import refused");
    corvel::WriteWholeFile(path, corvel::ApplyProductWrites(pdlist, plan.writes));
  }
}
BENCHMARK(BM_ImportProducts5000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// On the window's thread: the row worked out from the boxes and queued.
void BM_JournalRowOnWindowThread(benchmark::State& state) {
  corvel::JournalWriter writer(Scratch().filePath("row.sqlite").toStdString(), "", nullptr);
  const corvel::SystemClock clock;
  corvel::BarcodeJob job;
  job.DataDigits = "021234001604";
  const corvel::PrinterTarget target;
  // The writer's thread commits meanwhile, as it does while the station prints.
  for (auto _ : state)
    writer.Label(corvel::JournalEntryOf(corvel::bench::SampleLabelBoxes(), job, clock, target));
  writer.Flush(std::chrono::seconds(60));
}
BENCHMARK(BM_JournalRowOnWindowThread)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// Until the row is on the disk (the writer's thread, WAL, synchronous commit).
void BM_JournalRowCommitted(benchmark::State& state) {
  corvel::JournalWriter writer(Scratch().filePath("commit.sqlite").toStdString(), "", nullptr);
  const corvel::SystemClock clock;
  const corvel::BarcodeJob job;
  const corvel::PrinterTarget target;
  for (auto _ : state) {
    writer.Label(corvel::JournalEntryOf(corvel::bench::SampleLabelBoxes(), job, clock, target));
    writer.Flush(std::chrono::seconds(60));
  }
}
BENCHMARK(BM_JournalRowCommitted)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// 400 days x 1000 labels over 60 products, made once.
std::string BusyJournal() {
  const std::string path = Scratch().filePath("busy.sqlite").toStdString();
  if (QFileInfo::exists(QString::fromStdString(path))) return path;
  corvel::JournalStore store(path);
  const auto first = corvel::MakeLocalTime(2025, 11, 3, 8);
  std::vector<corvel::LabelEntry> day(1000);
  for (int d = 0; d < 400; ++d) {
    for (int i = 0; i < 1000; ++i) {
      corvel::LabelEntry& e = day[static_cast<std::size_t>(i)];
      e.time = corvel::JournalTime(first + std::chrono::days(d) + std::chrono::seconds(i * 36));
      e.station = "counter-1";
      e.item = 1 + i % 60;
      e.code = std::to_string(1000 + e.item);
      e.description = "Product " + std::to_string(e.item);
      e.netGrams = 200 + i % 900;
      e.unitPrice = "12.99";
      e.priceCents = e.netGrams * 1299 / 1000;
      e.barcode = "0210010012345";
      e.printer = "labels";
      e.job = std::to_string(d * 1000 + i);
      e.outcome = "printed";
    }
    store.AddLabels(day);
  }
  return path;
}

void BM_TotalsOf400DayJournal(benchmark::State& state) {
  const std::string path = BusyJournal();
  const corvel::JournalStore store(path);
  for (auto _ : state) {
    const corvel::DayTotals totals = store.Totals("2026-06-15");
    if (totals.all.labels != 1000) state.SkipWithError("wrong count");
  }
  state.counters["db_MB"] =
      static_cast<double>(QFileInfo(QString::fromStdString(path)).size()) / 1e6;
}
BENCHMARK(BM_TotalsOf400DayJournal)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace
