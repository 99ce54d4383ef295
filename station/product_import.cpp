// Reading a products CSV file back into the product records: every row is checked, and
// every problem is reported with its line and column, before anything may be written.
#include <cfloat>
#include <charconv>
#include <cmath>
#include <optional>

#include "common/csv.h"
#include "common/text.h"
#include "station/product_csv.h"
#include "station/product_file.h"

namespace corvel {
namespace {

constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    c = AsciiLower(c);
  return lower;
}

// A decimal number with at most four decimals as fixed point, exactly (no detour through
// a double, which holds only 15 or 16 digits). Nothing when it does not read; `beyond`
// is set when it reads but does not fit.
std::optional<std::int64_t> ReadFixedPoint(std::string_view text, bool& beyond) {
  beyond = false;
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  const std::size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  std::string fraction(point == std::string_view::npos ? "" : text.substr(point + 1));
  if (whole.empty() && fraction.empty()) return std::nullopt;
  for (const char c : whole)
    if (c < '0' || c > '9') return std::nullopt;
  for (const char c : fraction)
    if (c < '0' || c > '9') return std::nullopt;
  while (fraction.size() > 4 && fraction.back() == '0')
    fraction.pop_back();
  if (fraction.size() > 4) {
    beyond = true;
    return std::nullopt;
  }
  fraction.resize(4, '0');
  // Accumulated as a negative number: the most negative value has no positive twin.
  std::int64_t value = 0;
  for (const char c : std::string(whole) + fraction) {
    if (value < (INT64_MIN + (c - '0')) / 10) {
      beyond = true;
      return std::nullopt;
    }
    value = value * 10 - (c - '0');
  }
  if (!negative) {
    if (value == INT64_MIN) {
      beyond = true;
      return std::nullopt;
    }
    value = -value;
  }
  return value;
}

// The row being read and where its problems go.
struct RowCheck {
  const CsvRow& row;
  const std::vector<std::size_t>& columnAt;  // ProductColumn -> field index, or kNoColumn
  ImportPlan& plan;

  const CsvField* Field(ProductColumn column) const {
    const std::size_t at = columnAt[static_cast<std::size_t>(column)];
    return at == kNoColumn ? nullptr : &row.fields[at];
  }
  void Problem(const CsvField& field, ProductColumn column, const std::string& text) const {
    plan.problems.push_back(
        {field.line, field.column,
         std::string(kProductColumns[static_cast<std::size_t>(column)]) + ": " + text});
  }
};

// Stores one field's text in `record`; false (with the problem reported) when it does not
// fit. A text equal to what export writes for the stored value is no change.
bool StoreField(const RowCheck& check, ProductColumn column, ProductRecord& record) {
  const CsvField* field = check.Field(column);
  if (!field || field->text == ProductFieldText(record, column)) return true;
  const std::string& text = field->text;
  const std::string quoted = "\"" + text + "\"";
  switch (column) {
    case ProductColumn::Item:
      return true;
    case ProductColumn::Code:
    case ProductColumn::Price: {
      // An empty number field leaves the stored value.
      const std::string_view trimmed = TrimBlanks(text);
      if (trimmed.empty()) return true;
      bool beyond = false;
      const std::optional<std::int64_t> fixed = ReadFixedPoint(trimmed, beyond);
      if (!fixed) {
        check.Problem(*field, column,
                      beyond ? quoted +
                                   " lies beyond the fixed point (four decimals, "
                                   "-922337203685477.5808 to 922337203685477.5807)"
                             : quoted +
                                   " is not a number such as 12.5 (a period before the "
                                   "decimals, no exponent)");
        return false;
      }
      if (column == ProductColumn::Code)
        record.SetCodeFixed(*fixed);
      else
        record.SetPriceFixed(*fixed);
      return true;
    }
    case ProductColumn::ShelfLife: {
      const std::string_view trimmed = TrimBlanks(text);
      if (trimmed.empty()) return true;
      int days = 0;
      const auto [end, error] =
          std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), days);
      if (error != std::errc() || end != trimmed.data() + trimmed.size() || days < INT16_MIN ||
          days > INT16_MAX) {
        check.Problem(*field, column, quoted + " is no whole number of days from -32768 to 32767");
        return false;
      }
      record.SetShelfLifeDays(static_cast<std::int16_t>(days));
      return true;
    }
    case ProductColumn::Tare: {
      const std::string_view trimmed = TrimBlanks(text);
      if (trimmed.empty()) return true;
      float tare = 0;
      const auto [end, error] =
          std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), tare);
      if (error != std::errc() || end != trimmed.data() + trimmed.size() || !std::isfinite(tare)) {
        check.Problem(*field, column, quoted + " is not a weight in kilograms such as 0.015");
        return false;
      }
      record.SetTare(tare);
      return true;
    }
    case ProductColumn::NonWeighed: {
      const std::string word = Lower(TrimBlanks(text));
      if (word == "yes" || word == "1" || word == "true") {
        record.SetNonWeighed(true);
      } else if (word == "no" || word == "0" || word == "false" || word.empty()) {
        record.SetNonWeighed(false);
      } else {
        check.Problem(*field, column, quoted + " is neither yes nor no");
        return false;
      }
      return true;
    }
    case ProductColumn::Description1:
    case ProductColumn::Description2:
    case ProductColumn::Description3: {
      if (!IsValidUtf8(text)) {
        check.Problem(*field, column, "the text is not UTF-8; save the file as UTF-8");
        return false;
      }
      const std::string bytes = Utf8ToCp1252(text);
      if (Cp1252ToUtf8(bytes) != text) {
        check.Problem(*field, column,
                      quoted +
                          " holds a character the product file's code page "
                          "(Windows-1252) cannot hold");
        return false;
      }
      if (bytes.size() > kDescriptionLength) {
        check.Problem(*field, column,
                      quoted + " is " + std::to_string(bytes.size()) +
                          " characters long; a description line holds " +
                          std::to_string(kDescriptionLength));
        return false;
      }
      const int line = static_cast<int>(column) - static_cast<int>(ProductColumn::Description1) + 1;
      record.SetDescription(line, text);
      return true;
    }
  }
  return true;
}

}  // namespace

ImportPlan PlanProductImport(const std::vector<ProductRecord>& records, std::string_view csv) {
  ImportPlan plan;
  const CsvDocument document = ReadCsv(csv);
  if (!document.problem.empty())
    plan.problems.push_back({document.problemLine, 0, document.problem});
  if (document.rows.empty()) {
    if (plan.problems.empty()) plan.problems.push_back({1, 0, "the file has no header row"});
    return plan;
  }
  // The header names the columns; they may stand in any order, and a column left out
  // leaves its field as stored.
  const CsvRow& header = document.rows.front();
  std::vector<std::size_t> columnAt(kProductColumns.size(), kNoColumn);
  for (std::size_t i = 0; i < header.fields.size(); ++i) {
    const std::string name = Lower(TrimBlanks(header.fields[i].text));
    std::size_t c = 0;
    while (c < kProductColumns.size() && kProductColumns[c] != name)
      ++c;
    if (c == kProductColumns.size()) {
      plan.problems.push_back(
          {header.line, i + 1,
           "\"" + header.fields[i].text + "\" is no column of the product file"});
    } else if (columnAt[c] != kNoColumn) {
      plan.problems.push_back({header.line, i + 1, "the column " + name + " appears twice"});
    } else {
      columnAt[c] = i;
    }
  }
  if (columnAt[0] == kNoColumn)
    plan.problems.push_back({header.line, 0, "the header has no column \"item\""});
  if (!plan.problems.empty()) return plan;

  const std::uint64_t count = records.size();
  std::map<std::uint64_t, std::size_t> seenOn;  // item -> line it was first on
  std::uint64_t next = count + 1;
  for (std::size_t r = 1; r < document.rows.size(); ++r) {
    const CsvRow& row = document.rows[r];
    if (row.fields.size() != header.fields.size()) {
      plan.problems.push_back({row.line, 0,
                               "the row has " + std::to_string(row.fields.size()) +
                                   " fields, the header " + std::to_string(header.fields.size())});
      continue;
    }
    const RowCheck check{row, columnAt, plan};
    const CsvField& itemField = *check.Field(ProductColumn::Item);
    const std::string_view itemText = TrimBlanks(itemField.text);
    std::uint64_t item = 0;
    ProductRecord record;
    if (itemText.empty()) {
      item = next++;
      if (item > kMaxProducts) {
        check.Problem(itemField, ProductColumn::Item,
                      "a new product would be number " + std::to_string(item) +
                          "; the station holds at most " + std::to_string(kMaxProducts));
        continue;
      }
    } else {
      const auto [end, error] =
          std::from_chars(itemText.data(), itemText.data() + itemText.size(), item);
      if (error != std::errc() || end != itemText.data() + itemText.size() || item == 0 ||
          item > count) {
        check.Problem(itemField, ProductColumn::Item,
                      "\"" + itemField.text + "\" is no item of the product file (" +
                          (count ? "1 to " + std::to_string(count) : "it has none") +
                          "); leave it empty to add a new product");
        continue;
      }
      if (const auto [at, fresh] = seenOn.emplace(item, row.line); !fresh) {
        check.Problem(
            itemField, ProductColumn::Item,
            "item " + std::to_string(item) + " is already on line " + std::to_string(at->second));
        continue;
      }
      record = records[item - 1];
    }
    const ProductRecord before = record;
    bool fits = true;
    for (std::size_t c = 1; c < kProductColumns.size(); ++c)
      fits = StoreField(check, static_cast<ProductColumn>(c), record) && fits;
    if (!fits) continue;
    const bool added = item > count;
    if (!added && record == before) continue;
    plan.writes[item] = record;
    if (added) {
      ++plan.added;
      plan.changes.push_back("line " + std::to_string(row.line) + ": new item " +
                             std::to_string(item) + " \"" + record.SelectorName(item) + "\"");
      continue;
    }
    ++plan.updated;
    for (std::size_t c = 1; c < kProductColumns.size(); ++c) {
      const auto column = static_cast<ProductColumn>(c);
      const std::string was = ProductFieldText(before, column);
      const std::string now = ProductFieldText(record, column);
      if (was != now)
        plan.changes.push_back("line " + std::to_string(row.line) + ": item " +
                               std::to_string(item) + " " + std::string(kProductColumns[c]) +
                               ": \"" + was + "\" -> \"" + now + "\"");
    }
  }
  return plan;
}

}  // namespace corvel
