#pragma once
// Comma-separated values as RFC 4180 writes them (fields with a comma, a quote or a line
// end are quoted, quotes doubled, lines end in CR LF) and as spreadsheets write them
// (LF alone ends a line too). Every field read keeps the line and column it started at,
// so a problem in a file can be shown where the user will find it.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvel {

struct CsvField {
  std::string text;
  std::size_t line = 0;    // from 1, where the field starts
  std::size_t column = 0;  // from 1, the field's place in its row
};

struct CsvRow {
  std::vector<CsvField> fields;
  std::size_t line = 0;  // where the row starts
};

struct CsvDocument {
  std::vector<CsvRow> rows;  // empty lines are no rows
  // The first thing that does not read (a quote left open, text after a closing quote);
  // empty when the whole text reads. Rows before it are kept.
  std::string problem;
  std::size_t problemLine = 0;
};

// Reads `text` (a UTF-8 byte order mark at its start is passed over).
CsvDocument ReadCsv(std::string_view text);

// One field as it is written: quoted when it must be.
std::string CsvQuoted(std::string_view field);

// One row, its fields quoted where they must be, ending in CR LF.
std::string CsvLine(const std::vector<std::string>& fields);

}  // namespace corvel
