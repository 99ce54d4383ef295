// Products CSV import: any text and any product file are checked without a crash, a plan
// without problems only writes existing records or appends after the last one within
// the table's 5000, and any product file exported and imported back changes nothing.
#include "fuzz/check.h"
#include "station/product_csv.h"
#include "station/product_file.h"

using namespace corvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t recordBytes = input.ConsumeIntegralInRange<std::size_t>(0, 4 * 150);
  const std::string file = input.ConsumeBytesAsString(recordBytes);
  const std::string csv = input.ConsumeRemainingBytesAsString();
  const std::vector<ProductRecord> records = ProductsOfFile(file);

  const ImportPlan plan = PlanProductImport(records, csv);
  if (plan.problems.empty()) {
    FUZZ_CHECK(plan.updated + plan.added == plan.writes.size());
    for (const auto& [n, record] : plan.writes)
      FUZZ_CHECK(n >= 1 && n <= records.size() + plan.added && n <= kMaxProducts);
    const std::string written = ApplyProductWrites(file, plan.writes);
    FUZZ_CHECK(ProductsOfFile(written).size() == records.size() + plan.added);
  }
  for (const ImportProblem& problem : plan.problems)
    FUZZ_CHECK(problem.line >= 1 && !DescribeProblem(problem).empty());

  const ImportPlan again = PlanProductImport(records, ExportProductsCsv(records));
  FUZZ_CHECK(again.problems.empty());
  FUZZ_CHECK(again.writes.empty());
  return 0;
}
