#pragma once
// The product file as CSV, for the shop's spreadsheet or point-of-sale suite: every
// record as one row, and rows read back into the records. Rows are matched by item
// number (the record number printed on labels, which never changes): a row updates its
// record field by field, a row without an item number adds a product at the end, and
// nothing is reordered or deleted. A field whose text is what export writes for the
// stored value changes nothing, so bytes no column shows (reserved bytes, zero-byte
// padding, a damaged tare) stay exactly as they were.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "station/product_record.h"

namespace corvel {

enum class ProductColumn {
  Item,
  Code,
  Description1,
  Description2,
  Description3,
  Price,
  ShelfLife,
  Tare,
  NonWeighed
};

// Column names as the header row spells them, in the order of ProductColumn.
inline constexpr std::array<std::string_view, 9> kProductColumns = {
    "item",  "code",       "description1", "description2", "description3",
    "price", "shelf_life", "tare",         "non_weighed"};

// The records of a product file's bytes, counted as the station counts them.
std::vector<ProductRecord> ProductsOfFile(std::string_view bytes);

// A field of `record` as export writes it (not for ProductColumn::Item).
std::string ProductFieldText(const ProductRecord& record, ProductColumn column);

// The header row and one row per record, item numbers from 1.
std::string ExportProductsCsv(const std::vector<ProductRecord>& records);

struct ImportProblem {
  std::size_t line = 0;
  std::size_t column = 0;  // 0: the row as a whole
  std::string text;
};

struct ImportPlan {
  std::vector<ImportProblem> problems;            // any problem: nothing may be written
  std::vector<std::string> changes;               // one line per changed field or added product
  std::map<std::uint64_t, ProductRecord> writes;  // record number -> its new bytes
  std::uint64_t updated = 0;
  std::uint64_t added = 0;
};

// Checks every row of `csv` against `records` (the file's products) and works out what
// changes. The plan's writes are complete only when it has no problems.
ImportPlan PlanProductImport(const std::vector<ProductRecord>& records, std::string_view csv);

// `old` (a product file's bytes) with the plan's records written in place or appended.
std::string ApplyProductWrites(std::string old,
                               const std::map<std::uint64_t, ProductRecord>& writes);

// A problem as the user reads it: "line 7, column 6 (price): ...".
std::string DescribeProblem(const ImportProblem& problem);

}  // namespace corvel
