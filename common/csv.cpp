#include "common/csv.h"

namespace corvel {

CsvDocument ReadCsv(std::string_view text) {
  CsvDocument document;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::size_t line = 1;
  std::size_t at = 0;
  CsvRow row;
  const auto endRow = [&] {
    // A line holding nothing at all is no row (a blank line at the end of a file).
    if (!(row.fields.size() == 1 && row.fields[0].text.empty())) document.rows.push_back(row);
    row = CsvRow();
  };
  while (at < text.size()) {
    if (row.fields.empty()) row.line = line;
    CsvField field{.text = {}, .line = line, .column = row.fields.size() + 1};
    if (text[at] == '"') {
      ++at;
      bool closed = false;
      while (at < text.size()) {
        const char c = text[at++];
        if (c == '"') {
          if (at < text.size() && text[at] == '"') {
            field.text += '"';
            ++at;
            continue;
          }
          closed = true;
          break;
        }
        if (c == '\n') ++line;
        field.text += c;
      }
      if (!closed) {
        document.problem = "column " + std::to_string(field.column) +
                           ": a quoted field is not closed before the end of the file";
        document.problemLine = field.line;
        return document;
      }
      if (at < text.size() && text[at] != ',' && text[at] != '\n' && text[at] != '\r') {
        document.problem = "column " + std::to_string(field.column) +
                           ": text follows the closing quote of a field";
        document.problemLine = line;
        return document;
      }
    } else {
      const std::size_t end = text.find_first_of(",\r\n", at);
      field.text = std::string(text.substr(at, end == std::string_view::npos ? end : end - at));
      at = end == std::string_view::npos ? text.size() : end;
    }
    row.fields.push_back(std::move(field));
    if (at >= text.size()) break;
    if (text[at] == ',') {
      ++at;
      // A comma at the very end still opens an empty last field.
      if (at == text.size())
        row.fields.push_back(CsvField{.text = {}, .line = line, .column = row.fields.size() + 1});
      continue;
    }
    if (text[at] == '\r') ++at;
    if (at < text.size() && text[at] == '\n') ++at;
    ++line;
    endRow();
  }
  if (!row.fields.empty()) endRow();
  return document;
}

std::string CsvQuoted(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
  std::string quoted = "\"";
  for (const char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    line += CsvQuoted(fields[i]);
  }
  return line + "\r\n";
}

}  // namespace corvel
