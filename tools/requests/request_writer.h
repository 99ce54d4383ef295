#pragma once
// Writing requests the way the point-of-sale suite does, for the companion command's
// stand-in for that suite and for tests: request descriptions in JSON or CSV become
// "/Barprint" and "/ShelfPrint" records, texts the records cannot hold are refused
// (or cut on request), and existing requests are listed as readable rows.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.h"
#include "runner/request_files.h"

namespace corvel {

// Input the record formats cannot hold, or input that does not parse; the message
// names the row.
class RequestInputError : public Failure {
 public:
  using Failure::Failure;
};

struct SettingValue {
  std::string section;
  std::string key;
  std::string value;
};

struct RequestDescription {
  std::optional<std::string> path;                            // the data folder ("Path")
  std::optional<std::string> barcodeType;                     // "Barcodetype"
  std::vector<SettingValue> settings;                         // further keys
  std::optional<std::vector<BarcodeRequestRecord>> barcodes;  // present: write "/Barprint"
  std::optional<std::vector<ShelfRecord>> shelf;              // present: write "/ShelfPrint"
};

// JSON: {"path", "barcodetype", "settings": {section: {key: value}},
//        "barcodes": [{"code", "description", "price"}],
//        "layouts": {"1".."3": {"paperSource", "elements": {"1".."8": {cell: value}}}},
//        "shelf": [{"texts": [up to 9], "byWeight": bool, "layouts": {...}}]}
// Layout cells: left, top, height, colour, italic, bold, fontName, underline,
// strikethrough. Shelf cards start from DefaultShelfLayouts(), then "layouts", then the
// card's own "layouts".
RequestDescription ParseRequestJson(std::string_view json, bool cut);

// CSV with a header row: code, description, price (one "/Barprint" record per row) and,
// when any is present, text1 ... text9 and byweight (one "/ShelfPrint" record per row,
// with DefaultShelfLayouts()). Fields may be quoted ("" is a quote inside quotes).
RequestDescription ParseRequestCsv(std::string_view csv, bool cut);

// A shelf record with blank texts and a readable layout in each of the three card
// layouts: 1 on A5 landscape, 2 on A5 portrait, 3 on a small user-defined card.
ShelfRecord DefaultShelfLayouts();

// Replaces `path` with the records, written to a temporary file and renamed, so a
// runner started meanwhile reads the old request or the new one, never half of one.
template <typename Record>
void WriteRequestFile(const std::string& path, const std::vector<Record>& records);

// Writes both request files of `request` into `folder` (a part the request does not
// hold is written empty, so nothing of an older request is printed with it), each with
// WriteRequestFile. With `keepShelf`, "/ShelfPrint" is left as it is (the roll labels'
// extra lines come from it); a request with shelf cards then throws RequestInputError.
void WriteRequestFiles(const std::string& folder, const RequestDescription& request,
                       bool keepShelf);

// The request files in `folder` as readable rows (missing files are reported, never
// created), every byte of a field visible (control characters, zero bytes included,
// as \xNN). With `layouts`, the non-blank layout cells of every shelf record too.
std::string DumpRequests(const std::string& folder, bool layouts);

}  // namespace corvel
