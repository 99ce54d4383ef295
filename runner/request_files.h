#pragma once
// The request files the point-of-sale suite leaves in its data folder: "/Barprint"
// (66-byte barcode request records) and "/ShelfPrint" (11162-byte shelf records). Both
// are only read: created empty when missing, never written, truncated or deleted.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/fixed_record.h"

namespace corvel {

// One barcode request, its raw 66 bytes kept as read.
struct BarcodeRequestRecord {
  static constexpr std::size_t kLength = 66;
  // Field widths in single-byte (Windows-1252) characters.
  static constexpr std::size_t kCodeWidth = 14;
  static constexpr std::size_t kDescriptionWidth = 32;
  static constexpr std::size_t kPriceWidth = 18;
  RecordBytes bytes = RecordBytes(kLength, 0);

  std::string Code() const;         // kCodeWidth characters as stored (padding included)
  std::string Description() const;  // kDescriptionWidth characters as stored
  std::string Price() const;        // kPriceWidth characters as stored
  std::int16_t Spare() const;

  // For writers (the request command and tests): Windows-1252 fields cut or padded.
  void SetCode(std::string_view utf8);
  void SetDescription(std::string_view utf8);
  void SetPrice(std::string_view utf8);
  void SetSpare(std::int16_t value);
};

// The barcode requests of one run: records 1..N at index 0..N-1, and the record count
// as the file length divided by 66 (a real number: 200 bytes give 3.03...).
struct BarcodeRequests {
  std::vector<BarcodeRequestRecord> records;
  double count = 0;
};

// One shelf card, its raw 11162 bytes kept as read.
struct ShelfRecord {
  static constexpr std::size_t kLength = 11162;
  static constexpr int kTextCount = 9;
  static constexpr std::size_t kCellWidth = 30;  // of each text and each layout cell
  static constexpr int kElementCount = 8;        // printed elements, layout x 1..8
  static constexpr int kLayoutCount = 3;         // card layouts, z 1..3
  RecordBytes bytes = RecordBytes(kLength, 0);

  std::string Text(int k) const;  // Texts(k), k = 0..8, kCellWidth characters as stored
  std::int16_t ByWeight() const;  // -1: sold by weight
  // Layout cell (x 0..10, y 0..10, z 1..3), 30 characters as stored.
  std::string Layout(int x, int y, int z) const;

  // For writers (the request command and tests).
  void SetText(int k, std::string_view utf8);
  void SetByWeight(std::int16_t value);
  void SetLayout(int x, int y, int z, std::string_view utf8);
};

// The rows of a layout (y of a cell); the columns x 1..8 are the elements.
enum LayoutRow : int {
  kRowLeft = 0,  // blank: the element is centred
  kRowTop,
  kRowHeight,  // box height in units of 30 twips; 0 leaves the element out
  kRowColour,
  kRowItalic,  // this and the other flags: any text turns them on
  kRowBold,
  kRowFontName,
  kRowUnderline,
  kRowStrikethrough,
};
// The row names as the request writer reads and lists them, in row order.
inline constexpr std::array<std::string_view, 9> kLayoutRowNames = {
    "left", "top", "height", "colour", "italic", "bold", "fontName", "underline", "strikethrough"};
// The paper-source cell of each layout: "C" asks for the cassette, anything else the
// rear tray.
inline constexpr int kPaperSourceX = 9;
inline constexpr int kPaperSourceY = kRowColour;

// A shelf record whose texts and layout cells are all blank (spaces) and ByWeight 0:
// what a card without a record of its own reads as.
ShelfRecord BlankShelfRecord();

inline constexpr int kMaxBarcodeRequests = 5000;
inline constexpr int kMaxShelfRecords = 500;
// The roll-label job keeps shelf lines beside at most this many barcode requests.
inline constexpr int kMaxRollLabelRequests = 500;

// Appended unchanged to the "Path" setting.
inline constexpr std::string_view kBarcodeRequestName = "/Barprint";
inline constexpr std::string_view kShelfRequestName = "/ShelfPrint";

}  // namespace corvel
