#pragma once
// The station's products: the file "pdlist" in the working directory (150-byte
// records, numbered from 1), its in-memory copy, the selection and the edit rules of
// the product boxes. Plain data and functions; the window shows what they return.
//
// Every change is written through to the file at once, one record per write, and the
// in-memory table is updated only after the write succeeded, so table and file agree
// after every operation, failed ones included.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/record_file.h"
#include "station/product_record.h"

namespace corvel {

inline constexpr const char* kProductFileName = "pdlist";
// The table has room for this many products; a larger file keeps its other records
// untouched but they are not loaded.
inline constexpr std::uint64_t kMaxProducts = 5000;

struct ProductStation {
  explicit ProductStation(std::string path = kProductFileName)
      : file(std::move(path), kProductRecordLength) {}

  RecordFile file;
  // Index = record number; index 0 is never used. Holds the loaded and added records.
  std::vector<ProductRecord> table{ProductRecord()};
  // The record number of the selected product; 0 when no product is selected (the
  // selector is empty or its text was typed over).
  std::uint64_t selected = 0;

  std::uint64_t Count() const { return table.size() - 1; }
};

// The records the station counts in a product file of `length` bytes: none in a file of at
// most 10 bytes, else length / 150 rounded, halves to even (225 bytes is 2 records, a short
// last record completed with zero bytes).
std::uint64_t ProductRecordCount(std::uint64_t length);

struct LoadResult {
  std::vector<std::string> entries;  // selector entries, entry k for record k + 1
  std::string notice;                // for the operator; empty when all is well
};

// Reads the product file into `station` (creating it, with one product "Product", when
// it is missing or holds at most 10 bytes). Throws IoError when the file cannot be read
// or created; `station` is then left empty.
LoadResult LoadProductFile(ProductStation& station);

// Writes `record` as record n and, once written, into the table. Throws IoError (the
// table is then unchanged).
void WriteProductRecord(ProductStation& station, std::uint64_t n, const ProductRecord& record);

// Appends the product "New Item" as the record after the last loaded one and returns its
// selector entry (the 24-character description). Does not select it. Throws Failure
// when the table is full and IoError when the write fails; nothing is added then.
std::string AddNewItem(ProductStation& station);

// What the product boxes show for one product.
struct ProductBoxTexts {
  std::string code;          // Text1
  std::string price;         // Text3
  std::string tare;          // Text9
  std::string shelfLife;     // Text10
  std::string description1;  // Text2
  std::string description2;  // Text6
  std::string description3;  // Text7
  bool nonWeighed = false;   // Check1
};

ProductBoxTexts BoxTextsOf(const ProductRecord& record);

// The box texts of the selected product; nothing when no product is selected.
std::optional<ProductBoxTexts> ShowSelectedProduct(const ProductStation& station);

enum class ProductBox { Code, Price, Tare, ShelfLife, Description1, Description2, Description3 };

struct CommitResult {
  std::string boxText;  // what the box shows afterwards
  bool written = false;
  std::string message;  // for the operator when the edit was refused or not saved
};

// The edit rule of a product box when it loses the focus: rewrites the box text, and
// stores the value in the selected product when it differs. A value that does not fit
// its field, or a failed write, leaves the product as stored: the box shows the stored
// value again and `message` says why. Without a selected product nothing is done.
CommitResult CommitProductBox(ProductStation& station, ProductBox box, std::string_view text);

// The rule of the "Non Weighed" box when it is clicked.
CommitResult CommitNonWeighed(ProductStation& station, bool checked);

}  // namespace corvel
