#include "station/product_csv.h"

#include <charconv>
#include <cstring>

#include "common/csv.h"
#include "common/number_text.h"
#include "station/product_file.h"

namespace corvel {
namespace {

// A fixed-point value with four decimals written exactly, without trailing zeros: the
// general number form for every value of up to 15 digits, and exact beyond.
std::string FixedPointText(std::int64_t value) {
  const bool negative = value < 0;
  // The magnitude as unsigned, so the most negative value has one too.
  const std::uint64_t magnitude =
      negative ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  std::string text = (negative ? "-" : "") + std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  fraction.erase(fraction.find_last_not_of('0') + 1);
  if (!fraction.empty()) text += "." + fraction;
  return text;
}

std::string TareText(float tare) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, tare);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::vector<ProductRecord> ProductsOfFile(std::string_view bytes) {
  const std::uint64_t count = ProductRecordCount(bytes.size());
  std::vector<ProductRecord> records;
  records.reserve(count);
  for (std::uint64_t n = 0; n < count; ++n) {
    const std::size_t start = std::min<std::size_t>(n * kProductRecordLength, bytes.size());
    const std::string_view part = bytes.substr(start, kProductRecordLength);
    records.emplace_back(RecordBytes(part.begin(), part.end()));
  }
  return records;
}

std::string ProductFieldText(const ProductRecord& record, ProductColumn column) {
  switch (column) {
    case ProductColumn::Item:
      break;
    case ProductColumn::Code:
      return FixedPointText(record.CodeFixed());
    case ProductColumn::Description1:
    case ProductColumn::Description2:
    case ProductColumn::Description3: {
      // Zero-byte and space padding are not exported.
      const int line = static_cast<int>(column) - static_cast<int>(ProductColumn::Description1) + 1;
      std::string text = record.ShownDescription(line);
      text.erase(text.find_last_not_of(' ') + 1);
      return text;
    }
    case ProductColumn::Price:
      return FixedPointText(record.PriceFixed());
    case ProductColumn::ShelfLife:
      return std::to_string(record.ShelfLifeDays());
    case ProductColumn::Tare:
      return TareText(record.Tare());
    case ProductColumn::NonWeighed:
      return record.NonWeighed() ? "yes" : "no";
  }
  return "";
}

std::string ExportProductsCsv(const std::vector<ProductRecord>& records) {
  std::string csv =
      CsvLine(std::vector<std::string>(kProductColumns.begin(), kProductColumns.end()));
  csv.reserve(records.size() * 80);
  std::vector<std::string> fields(kProductColumns.size());
  for (std::size_t n = 0; n < records.size(); ++n) {
    fields[0] = std::to_string(n + 1);
    for (std::size_t c = 1; c < kProductColumns.size(); ++c)
      fields[c] = ProductFieldText(records[n], static_cast<ProductColumn>(c));
    csv += CsvLine(fields);
  }
  return csv;
}

std::string ApplyProductWrites(std::string old,
                               const std::map<std::uint64_t, ProductRecord>& writes) {
  for (const auto& [n, record] : writes) {
    const std::size_t start = (n - 1) * kProductRecordLength;
    if (old.size() < start + kProductRecordLength) old.resize(start + kProductRecordLength, '\0');
    std::memcpy(old.data() + start, record.Bytes().data(), kProductRecordLength);
  }
  return old;
}

std::string DescribeProblem(const ImportProblem& problem) {
  std::string where = "line " + std::to_string(problem.line);
  if (problem.column > 0) {
    where += ", column " + std::to_string(problem.column);
  }
  return where + ": " + problem.text;
}

}  // namespace corvel
