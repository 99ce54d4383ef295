#include "tools/requests/request_writer.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "common/number_text.h"
#include "common/settings_store.h"
#include "common/text.h"
#include "common/whole_file.h"

namespace corvel {
namespace {
constexpr std::size_t kCellWidth = ShelfRecord::kCellWidth;

// Checks that `utf8` fits a field of `width` single-byte characters: refused with a
// message naming `where`, or passed on to be cut by the record when `cut` is set.
std::string Fit(std::string_view utf8, std::size_t width, bool cut, const std::string& where,
                std::string_view field) {
  const std::string bytes = Utf8ToCp1252(utf8);
  if (!cut && Cp1252ToUtf8(bytes) != utf8)
    throw RequestInputError(where + ": " + std::string(field) + " \"" + std::string(utf8) +
                            "\" has characters a request cannot hold (Windows-1252 only)");
  if (!cut && bytes.size() > width)
    throw RequestInputError(where + ": " + std::string(field) + " \"" + std::string(utf8) +
                            "\" is " + std::to_string(CharCount(utf8)) +
                            " characters; the request holds " + std::to_string(width) +
                            " (--cut cuts it)");
  return std::string(utf8);
}

// A JSON value as the text a field or setting holds.
std::string ValueText(const QJsonValue& value, const std::string& where) {
  if (value.isString()) return value.toString().toStdString();
  if (value.isNull() || value.isUndefined()) return "";
  if (value.isBool()) return BoolText(value.toBool());
  if (value.isDouble()) {
    const double number = value.toDouble();
    if (std::fabs(number) < 1e15 && number == std::floor(number)) {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.0f", number);
      return buffer;
    }
    return GeneralNumber(number);
  }
  throw RequestInputError(where + ": expected text or a number");
}

// Layout flags: true turns a cell on ("x"), false leaves it blank.
std::string CellText(const QJsonValue& value, const std::string& where) {
  if (value.isBool()) return value.toBool() ? "x" : "";
  return ValueText(value, where);
}

std::string Lower(std::string text) {
  for (char& c : text)
    c = AsciiLower(c);
  return text;
}

std::int16_t ByWeightValue(const std::string& text, const std::string& where) {
  if (text.empty()) return 0;
  const std::string word = Lower(text);
  if (word == "-1" || word == "yes" || word == "kg") return -1;
  if (word == "no" || word == "ea") return 0;
  const std::optional<bool> flag = ParseBoolText(text);
  if (!flag) throw RequestInputError(where + ": byweight \"" + text + "\" is not true or false");
  return *flag ? -1 : 0;
}

void ApplyLayouts(ShelfRecord& record, const QJsonValue& layouts, bool cut,
                  const std::string& where) {
  if (layouts.isUndefined() || layouts.isNull()) return;
  if (!layouts.isObject()) throw RequestInputError(where + ": \"layouts\" must be an object");
  const QJsonObject byNumber = layouts.toObject();
  for (auto z = byNumber.begin(); z != byNumber.end(); ++z) {
    const int number = z.key().toInt();
    const std::string at = where + " layout " + z.key().toStdString();
    if (number < 1 || number > ShelfRecord::kLayoutCount || !z.value().isObject())
      throw RequestInputError(at + ": layouts are numbered 1 to 3 and hold objects");
    const QJsonObject layout = z.value().toObject();
    if (layout.contains("paperSource"))
      record.SetLayout(
          kPaperSourceX, kPaperSourceY, number,
          Fit(ValueText(layout["paperSource"], at), kCellWidth, cut, at, "paperSource"));
    const QJsonObject elements = layout["elements"].toObject();
    for (auto e = elements.begin(); e != elements.end(); ++e) {
      const int element = e.key().toInt();
      const std::string cellAt = at + " element " + e.key().toStdString();
      if (element < 1 || element > ShelfRecord::kElementCount || !e.value().isObject())
        throw RequestInputError(cellAt + ": elements are numbered 1 to 8 and hold objects");
      const QJsonObject cells = e.value().toObject();
      for (auto cell = cells.begin(); cell != cells.end(); ++cell) {
        const std::string name = cell.key().toStdString();
        const auto found = std::find(kLayoutRowNames.begin(), kLayoutRowNames.end(), name);
        if (found == kLayoutRowNames.end())
          throw RequestInputError(cellAt + ": unknown cell \"" + name + "\"");
        const int y = static_cast<int>(found - kLayoutRowNames.begin());
        record.SetLayout(element, y, number,
                         Fit(CellText(cell.value(), cellAt), kCellWidth, cut, cellAt, name));
      }
    }
  }
}

BarcodeRequestRecord MakeBarcode(const std::string& code, const std::string& description,
                                 const std::string& price, bool cut, const std::string& where) {
  BarcodeRequestRecord record;
  using Record = BarcodeRequestRecord;
  record.SetCode(Fit(code, Record::kCodeWidth, cut, where, "code"));
  record.SetDescription(Fit(description, Record::kDescriptionWidth, cut, where, "description"));
  record.SetPrice(Fit(price, Record::kPriceWidth, cut, where, "price"));
  return record;
}

// One element of a default layout: position, box height (units of 30 twips), bold.
struct Element {
  int top;
  int height;
  bool bold;
};

// Elements 1..8 of each layout: two heading lines, the description, the price with its
// unit word, and four small lines below; elements left blank are centred.
constexpr std::array<std::array<Element, ShelfRecord::kElementCount>, ShelfRecord::kLayoutCount>
    kDefaultLayouts = {{
        // 1: A5 landscape (about 11900 x 8400 twips)
        {{{300, 16, true},
          {900, 12, false},
          {1700, 40, true},
          {3600, 90, true},
          {6500, 12, false},
          {7000, 10, false},
          {7400, 10, false},
          {7800, 8, false}}},
        // 2: A5 portrait (about 8400 x 11900 twips)
        {{{300, 16, true},
          {900, 12, false},
          {1700, 40, true},
          {4800, 100, true},
          {9600, 14, false},
          {10300, 10, false},
          {10700, 10, false},
          {11000, 8, false}}},
        // 3: user-defined card, 105 x 148 mm by default (about 5950 x 8400 twips)
        {{{200, 12, true},
          {700, 10, false},
          {1300, 30, true},
          {3300, 70, true},
          {6600, 10, false},
          {7100, 8, false},
          {7500, 8, false},
          {7900, 6, false}}},
    }};

std::vector<std::string> ParseCsvRow(std::string_view csv, std::size_t& pos, bool& ok) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  ok = true;
  while (pos < csv.size()) {
    const char c = csv[pos++];
    if (quoted) {
      if (c == '"' && pos < csv.size() && csv[pos] == '"') {
        field += '"';
        ++pos;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(field);
      field.clear();
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && pos < csv.size() && csv[pos] == '\n') ++pos;
      fields.push_back(field);
      return fields;
    } else {
      field += c;
    }
  }
  if (quoted) ok = false;
  fields.push_back(field);
  return fields;
}

}  // namespace

ShelfRecord DefaultShelfLayouts() {
  ShelfRecord record = BlankShelfRecord();
  for (int z = 1; z <= ShelfRecord::kLayoutCount; ++z) {
    for (int e = 1; e <= ShelfRecord::kElementCount; ++e) {
      const Element& element = kDefaultLayouts[z - 1][e - 1];
      record.SetLayout(e, kRowTop, z, std::to_string(element.top));
      record.SetLayout(e, kRowHeight, z, std::to_string(element.height));
      record.SetLayout(e, kRowBold, z, element.bold ? "x" : "");
      record.SetLayout(e, kRowFontName, z, "Tahoma");
    }
    record.SetLayout(kPaperSourceX, kPaperSourceY, z, "R");
  }
  return record;
}

RequestDescription ParseRequestJson(std::string_view json, bool cut) {
  QJsonParseError error;
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
  if (error.error != QJsonParseError::NoError)
    throw RequestInputError("JSON at offset " + std::to_string(error.offset) + ": " +
                            error.errorString().toStdString());
  if (!document.isObject()) throw RequestInputError("JSON: the request must be an object");
  const QJsonObject root = document.object();
  RequestDescription request;
  if (root.contains("path")) request.path = ValueText(root["path"], "path");
  if (root.contains("barcodetype"))
    request.barcodeType = ValueText(root["barcodetype"], "barcodetype");
  const QJsonObject sections = root["settings"].toObject();
  for (auto section = sections.begin(); section != sections.end(); ++section) {
    const QJsonObject keys = section.value().toObject();
    for (auto key = keys.begin(); key != keys.end(); ++key) {
      const std::string where =
          "settings " + section.key().toStdString() + "/" + key.key().toStdString();
      request.settings.push_back(
          {section.key().toStdString(), key.key().toStdString(), ValueText(key.value(), where)});
    }
  }
  if (root.contains("barcodes")) {
    request.barcodes.emplace();
    const QJsonArray rows = root["barcodes"].toArray();
    for (qsizetype i = 0; i < rows.size(); ++i) {
      const std::string where = "barcodes row " + std::to_string(i + 1);
      if (!rows[i].isObject()) throw RequestInputError(where + ": expected an object");
      const QJsonObject row = rows[i].toObject();
      request.barcodes->push_back(MakeBarcode(ValueText(row["code"], where),
                                              ValueText(row["description"], where),
                                              ValueText(row["price"], where), cut, where));
    }
  }
  if (root.contains("shelf")) {
    ShelfRecord base = DefaultShelfLayouts();
    ApplyLayouts(base, root["layouts"], cut, "layouts");
    request.shelf.emplace();
    const QJsonArray cards = root["shelf"].toArray();
    for (qsizetype i = 0; i < cards.size(); ++i) {
      const std::string where = "shelf row " + std::to_string(i + 1);
      if (!cards[i].isObject()) throw RequestInputError(where + ": expected an object");
      const QJsonObject card = cards[i].toObject();
      ShelfRecord record = base;
      const QJsonArray texts = card["texts"].toArray();
      if (texts.size() > ShelfRecord::kTextCount)
        throw RequestInputError(where + ": at most " + std::to_string(ShelfRecord::kTextCount) +
                                " texts");
      for (qsizetype k = 0; k < texts.size(); ++k) {
        const std::string field = "text" + std::to_string(k + 1);
        record.SetText(static_cast<int>(k),
                       Fit(ValueText(texts[k], where), kCellWidth, cut, where, field));
      }
      record.SetByWeight(ByWeightValue(ValueText(card["byWeight"], where), where));
      ApplyLayouts(record, card["layouts"], cut, where);
      request.shelf->push_back(std::move(record));
    }
  }
  return request;
}

RequestDescription ParseRequestCsv(std::string_view csv, bool cut) {
  std::size_t pos = 0;
  bool ok = true;
  std::vector<std::string> header = ParseCsvRow(csv, pos, ok);
  for (std::string& name : header)
    name = Lower(TrimSpaces(name));
  const auto column = [&](const std::string& name) -> int {
    const auto found = std::find(header.begin(), header.end(), name);
    return found == header.end() ? -1 : static_cast<int>(found - header.begin());
  };
  for (const std::string& name : header) {
    const bool known =
        name == "code" || name == "description" || name == "price" || name == "byweight" ||
        (name.size() == 5 && name.rfind("text", 0) == 0 && name[4] >= '1' && name[4] <= '9');
    if (!known) throw RequestInputError("CSV header: unknown column \"" + name + "\"");
  }
  std::array<int, ShelfRecord::kTextCount> textColumns{};
  bool anyShelf = column("byweight") >= 0;
  for (int k = 0; k < ShelfRecord::kTextCount; ++k) {
    textColumns[k] = column("text" + std::to_string(k + 1));
    anyShelf = anyShelf || textColumns[k] >= 0;
  }
  const bool anyBarcode = column("code") >= 0 || column("description") >= 0 || column("price") >= 0;
  RequestDescription request;
  if (anyBarcode) request.barcodes.emplace();
  if (anyShelf) request.shelf.emplace();
  const ShelfRecord base = DefaultShelfLayouts();
  int line = 1;
  while (pos < csv.size()) {
    ++line;
    const std::vector<std::string> fields = ParseCsvRow(csv, pos, ok);
    const std::string where = "CSV line " + std::to_string(line);
    if (!ok) throw RequestInputError(where + ": a quoted field is not closed");
    if (fields.size() == 1 && TrimSpaces(fields[0]).empty()) continue;  // blank line
    if (fields.size() > header.size())
      throw RequestInputError(where + ": more fields than the header names");
    const auto field = [&](int index) {
      return index >= 0 && index < static_cast<int>(fields.size()) ? fields[index] : "";
    };
    if (anyBarcode)
      request.barcodes->push_back(MakeBarcode(field(column("code")), field(column("description")),
                                              field(column("price")), cut, where));
    if (anyShelf) {
      ShelfRecord record = base;
      for (int k = 0; k < ShelfRecord::kTextCount; ++k)
        record.SetText(
            k, Fit(field(textColumns[k]), kCellWidth, cut, where, "text" + std::to_string(k + 1)));
      record.SetByWeight(ByWeightValue(TrimSpaces(field(column("byweight"))), where));
      request.shelf->push_back(std::move(record));
    }
  }
  return request;
}

template <typename Record>
void WriteRequestFile(const std::string& path, const std::vector<Record>& records) {
  // Every write checked and the data on the disk before the rename: a full disk fails
  // here and leaves the old request, never a request cut short.
  WholeFileWriter file(path);
  for (const Record& record : records)
    file.Write(
        std::string_view(reinterpret_cast<const char*>(record.bytes.data()), record.bytes.size()));
  file.Commit();
}

template void WriteRequestFile(const std::string&, const std::vector<BarcodeRequestRecord>&);
template void WriteRequestFile(const std::string&, const std::vector<ShelfRecord>&);

void WriteRequestFiles(const std::string& folder, const RequestDescription& request,
                       bool keepShelf) {
  if (keepShelf && request.shelf)
    throw RequestInputError(
        "the request holds shelf cards; keeping the shelf file would drop them");
  // The shelf file goes first: a runner started meanwhile then meets the old barcode
  // request with either shelf file, never new barcodes with old shelf lines.
  if (!keepShelf)
    WriteRequestFile(folder + std::string(kShelfRequestName),
                     request.shelf.value_or(std::vector<ShelfRecord>{}));
  WriteRequestFile(folder + std::string(kBarcodeRequestName),
                   request.barcodes.value_or(std::vector<BarcodeRequestRecord>{}));
}

}  // namespace corvel
