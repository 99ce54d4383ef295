#include "station/product_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cfloat>
#include <cmath>

#include "common/errors.h"
#include "common/file_descriptor.h"
#include "common/number_text.h"
#include "common/regular_file.h"
#include "common/text.h"

namespace corvel {
namespace {

// Reads the first `records` records in one pass; a short last record is completed with
// zero bytes.
std::vector<ProductRecord> ReadRecords(const RecordFile& file, std::uint64_t records) {
  std::vector<ProductRecord> result;
  result.reserve(records);
  for (RecordBytes& bytes : file.ReadRange(1, records))
    result.emplace_back(std::move(bytes));
  return result;
}

// A value as fixed point with four decimals, or nothing when it does not fit 64 bits.
std::optional<std::int64_t> ToFixedPoint(double value) {
  const double scaled = RoundHalfEven(value * kFixedPointScale);
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!(scaled >= -kLimit && scaled < kLimit)) return std::nullopt;
  return static_cast<std::int64_t>(scaled);
}

// Leading-number reading that reports a number beyond a double as nothing.
std::optional<double> ReadValue(std::string_view text) {
  try {
    return ReadLeadingNumber(text);
  } catch (const OverflowError&) {
    return std::nullopt;
  }
}

// The typed text made to fit a description field without losing what was typed: a box
// shows the field's padding, so a click behind it or End puts the cursor after up to 24
// spaces, and text typed there would be cut off. Padding gives way first (trailing
// spaces, then the longest run of spaces), then the text is cut to the field.
std::string FitDescription(std::string_view typed) {
  std::string text(typed);
  if (CharCount(text) <= kDescriptionLength) return text;
  text.erase(text.find_last_not_of(' ') + 1);
  while (CharCount(text) > kDescriptionLength) {
    std::size_t longestAt = 0, longest = 0;
    for (std::size_t at = text.find("  "); at != std::string::npos; at = text.find("  ", at)) {
      const std::size_t end = std::min(text.find_first_not_of(' ', at), text.size());
      if (end - at >= longest) longestAt = at, longest = end - at;
      at = end;
    }
    if (longest < 2) break;
    text.erase(longestAt, 1);
  }
  return text;
}

// What an edit does to the product: nothing, a new value, or a refusal.
enum class Edit { Same, Changed, DoesNotFit };

// Code and price are fixed point with four decimals. A value equal to the stored one is
// no change (it fits, whatever its rounding).
Edit WriteCode(const ProductRecord& stored, double value, ProductRecord& changed) {
  if (value == stored.Code()) return Edit::Same;
  const std::optional<std::int64_t> fixed = ToFixedPoint(value);
  if (!fixed) return Edit::DoesNotFit;
  changed.SetCodeFixed(*fixed);
  return Edit::Changed;
}

Edit WritePrice(const ProductRecord& stored, double value, ProductRecord& changed) {
  if (value == stored.Price()) return Edit::Same;
  const std::optional<std::int64_t> fixed = ToFixedPoint(value);
  if (!fixed) return Edit::DoesNotFit;
  changed.SetPriceFixed(*fixed);
  return Edit::Changed;
}

// The tare is a single-precision float: compared once converted.
Edit WriteTare(const ProductRecord& stored, double value, ProductRecord& changed) {
  if (!(std::fabs(value) <= FLT_MAX)) return Edit::DoesNotFit;
  const float tare = static_cast<float>(value);
  if (tare == stored.Tare()) return Edit::Same;
  changed.SetTare(tare);
  return Edit::Changed;
}

Edit WriteShelfLife(const ProductRecord& stored, double value, ProductRecord& changed) {
  if (value == stored.ShelfLifeDays()) return Edit::Same;
  try {
    changed.SetShelfLifeDays(ToInt16(value));
  } catch (const OverflowError&) {
    return Edit::DoesNotFit;
  }
  return Edit::Changed;
}

// One product box: its name and range in messages, the pattern its number is shown in
// ("" for the general form), where BoxTextsOf puts its text, and how its value is read
// from and written to a record. Description boxes name their line instead.
struct BoxRule {
  ProductBox box;
  const char* name;
  const char* range = "";
  const char* pattern = "";
  std::string ProductBoxTexts::*text;
  double (*read)(const ProductRecord&) = nullptr;
  Edit (*write)(const ProductRecord& stored, double value, ProductRecord& changed) = nullptr;
  int line = 0;
};

constexpr const char* kFixedPointRange = "-922337203685477.5808 to 922337203685477.5807";

// In the order of ProductBox.
constexpr std::array<BoxRule, 7> kBoxes{{
    {.box = ProductBox::Code,
     .name = "code",
     .range = kFixedPointRange,
     .text = &ProductBoxTexts::code,
     .read = [](const ProductRecord& r) { return r.Code(); },
     .write = WriteCode},
    {.box = ProductBox::Price,
     .name = "price",
     .range = kFixedPointRange,
     .pattern = "#0.00",
     .text = &ProductBoxTexts::price,
     .read = [](const ProductRecord& r) { return r.Price(); },
     .write = WritePrice},
    // Bytes that are no finite number (a damaged record) show as no tare.
    {.box = ProductBox::Tare,
     .name = "tare",
     .range = "about -3.4E+38 to 3.4E+38",
     .pattern = "#0.000",
     .text = &ProductBoxTexts::tare,
     .read = [](const ProductRecord& r) { return std::isfinite(r.Tare()) ? r.Tare() : 0.0; },
     .write = WriteTare},
    {.box = ProductBox::ShelfLife,
     .name = "shelf life",
     .range = "-32768 to 32767 days",
     .text = &ProductBoxTexts::shelfLife,
     .read = [](const ProductRecord& r) { return static_cast<double>(r.ShelfLifeDays()); },
     .write = WriteShelfLife},
    {.box = ProductBox::Description1,
     .name = "description",
     .text = &ProductBoxTexts::description1,
     .line = 1},
    {.box = ProductBox::Description2,
     .name = "description",
     .text = &ProductBoxTexts::description2,
     .line = 2},
    {.box = ProductBox::Description3,
     .name = "description",
     .text = &ProductBoxTexts::description3,
     .line = 3},
}};

constexpr bool InEnumOrder() {
  for (std::size_t i = 0; i < kBoxes.size(); ++i)
    if (static_cast<std::size_t>(kBoxes[i].box) != i) return false;
  return true;
}
static_assert(InEnumOrder());

const BoxRule& RuleOf(ProductBox box) {
  return kBoxes[static_cast<std::size_t>(box)];
}

// A number as its box shows it.
std::string Shown(const BoxRule& rule, double value) {
  return *rule.pattern ? FormatNumber(value, rule.pattern) : GeneralNumber(value);
}

std::string ShownText(const BoxRule& rule, const ProductRecord& record) {
  return rule.line ? record.ShownDescription(rule.line) : Shown(rule, rule.read(record));
}

// The box goes back to the stored value and the operator is told why.
CommitResult Refused(const ProductRecord& stored, const BoxRule& rule, std::string_view typed) {
  CommitResult result;
  result.boxText = ShownText(rule, stored);
  result.message = "The " + std::string(rule.name) + " \"" + std::string(typed) +
                   "\" does not fit: it must lie within " + rule.range + ". The stored " +
                   rule.name + " is kept.";
  return result;
}

CommitResult NotSaved(const ProductRecord& stored, const BoxRule& rule, const IoError& error) {
  CommitResult result;
  result.boxText = ShownText(rule, stored);
  result.message = "The product could not be saved: " + std::string(error.what()) +
                   ". The stored " + rule.name + " is kept.";
  return result;
}

// True when a failed write left record n and the file length as they were (a file that
// could not be opened for writing at all).
bool Unchanged(const RecordFile& file, std::uint64_t n, std::uint64_t lengthBefore,
               const RecordBytes& bytesBefore) {
  try {
    return file.Length() == lengthBefore && file.Read(n) == bytesBefore;
  } catch (const IoError&) {
    return false;
  }
}

// Puts record n and the file length back as they were before a failed write: the file
// is cut back to its old length (a record that was being appended goes), and the part
// of the record that lay within the file gets its old bytes. False when that fails too.
bool PutBack(const std::string& path, std::uint64_t n, std::uint64_t lengthBefore,
             const RecordBytes& bytesBefore) {
  FileDescriptor file;
  try {
    file = OpenRegularFile(path, O_WRONLY, IfMissing::Fail);
  } catch (const IoError&) {
    return false;
  }
  if (!file.valid()) return false;
  bool ok = ::ftruncate(file.get(), static_cast<off_t>(lengthBefore)) == 0;
  const std::uint64_t start = (n - 1) * kProductRecordLength;
  const std::size_t keep = lengthBefore > start
                               ? std::min<std::uint64_t>(lengthBefore - start, kProductRecordLength)
                               : 0;
  ok = ok && file.WriteAt(bytesBefore.data(), keep, start) == 0;
  ok = file.Close() == 0 && ok;
  return ok;
}

}  // namespace

std::uint64_t ProductRecordCount(std::uint64_t length) {
  if (length <= 10) return 0;
  return static_cast<std::uint64_t>(
      RoundHalfEven(static_cast<double>(length) / static_cast<double>(kProductRecordLength)));
}

LoadResult LoadProductFile(ProductStation& station) {
  station.table.assign(1, ProductRecord());
  station.selected = 0;
  LoadResult result;
  const std::uint64_t length = station.file.Length();
  if (length <= 10) {
    ProductRecord first;
    first.SetDescription(1, "Product");
    WriteProductRecord(station, 1, first);
    result.entries.push_back(first.Description(1));
    return result;
  }
  const std::uint64_t count = ProductRecordCount(length);
  const std::uint64_t loaded = std::min(count, kMaxProducts);
  std::vector<ProductRecord> records = ReadRecords(station.file, loaded);
  for (std::uint64_t n = 1; n <= loaded; ++n) {
    result.entries.push_back(records[n - 1].SelectorName(n));
    station.table.push_back(std::move(records[n - 1]));
  }
  if (count == 0) {
    result.notice = "The product file \"" + station.file.Path() + "\" holds no whole product (" +
                    std::to_string(length) +
                    " bytes), so no product is shown. \"Add New Item\" creates the first one.";
  } else if (count > kMaxProducts) {
    result.notice = "The product file \"" + station.file.Path() + "\" holds " +
                    std::to_string(count) + " products; only the first " +
                    std::to_string(kMaxProducts) +
                    " are shown. The others are kept in the file unchanged.";
  }
  return result;
}

void WriteProductRecord(ProductStation& station, std::uint64_t n, const ProductRecord& record) {
  // A write can fail half way (a full disk takes the first bytes of a new record and
  // refuses the rest); the file is then put back as it was, so a failed write changes
  // nothing, in the file as in the table.
  const std::uint64_t lengthBefore = station.file.Length();
  const RecordBytes bytesBefore = station.file.Read(n);
  try {
    station.file.Write(n, record.Bytes());
  } catch (const IoError& error) {
    if (!Unchanged(station.file, n, lengthBefore, bytesBefore) &&
        !PutBack(station.file.Path(), n, lengthBefore, bytesBefore)) {
      throw IoError(std::string(error.what()) + "; the file could not be put back as it was");
    }
    throw;
  }
  if (station.table.size() <= n) station.table.resize(n + 1);
  station.table[n] = record;
}

std::string AddNewItem(ProductStation& station) {
  // The new record follows the last loaded one, so selector entry k keeps standing for
  // record k + 1 and no loaded product is ever overwritten.
  const std::uint64_t n = station.Count() + 1;
  if (n > kMaxProducts) {
    throw Failure("The product table is full (" + std::to_string(kMaxProducts) +
                  " products). No new item was added.");
  }
  ProductRecord record;
  record.SetDescription(1, "New Item");
  WriteProductRecord(station, n, record);
  return record.Description(1);
}

ProductBoxTexts BoxTextsOf(const ProductRecord& record) {
  ProductBoxTexts texts;
  for (const BoxRule& rule : kBoxes)
    texts.*rule.text = ShownText(rule, record);
  texts.nonWeighed = record.NonWeighed();
  return texts;
}

std::optional<ProductBoxTexts> ShowSelectedProduct(const ProductStation& station) {
  if (station.selected == 0 || station.selected > station.Count()) return std::nullopt;
  return BoxTextsOf(station.table[station.selected]);
}

CommitResult CommitProductBox(ProductStation& station, ProductBox box, std::string_view text) {
  CommitResult result{std::string(text), false, {}};
  if (station.selected == 0 || station.selected > station.Count()) return result;
  const ProductRecord& stored = station.table[station.selected];
  ProductRecord changed = stored;

  const BoxRule& rule = RuleOf(box);
  if (rule.line) {
    // Passing through without typing leaves the field as stored, zero bytes included.
    const std::string shown = stored.ShownDescription(rule.line);
    if (text == shown || text == TrimSpaces(shown)) return result;
    changed.SetDescription(rule.line, FitDescription(text));
  } else {
    const std::optional<double> typed = ReadValue(text);
    if (!typed) return Refused(stored, rule, text);
    // The box is rewritten first; the value is then read from the rewritten text, so
    // the stored number is the rounded one.
    result.boxText = Shown(rule, *typed);
    const std::optional<double> value = ReadValue(result.boxText);
    if (!value) return Refused(stored, rule, text);
    switch (rule.write(stored, *value, changed)) {
      case Edit::Same:
        return result;
      case Edit::DoesNotFit:
        return Refused(stored, rule, text);
      case Edit::Changed:
        break;
    }
  }
  try {
    WriteProductRecord(station, station.selected, changed);
  } catch (const IoError& error) {
    return NotSaved(station.table[station.selected], rule, error);
  }
  result.written = true;
  return result;
}

CommitResult CommitNonWeighed(ProductStation& station, bool checked) {
  CommitResult result;
  if (station.selected == 0 || station.selected > station.Count()) return result;
  const ProductRecord& stored = station.table[station.selected];
  if (checked == stored.NonWeighed()) return result;
  ProductRecord changed = stored;
  changed.SetNonWeighed(checked);
  try {
    WriteProductRecord(station, station.selected, changed);
  } catch (const IoError& error) {
    result.message = "The product could not be saved: " + std::string(error.what()) +
                     ". \"Non Weighed\" stays as stored.";
    return result;
  }
  result.written = true;
  return result;
}

}  // namespace corvel
