#include "tests/sheets/sheet_test_support.h"

#include <fstream>
#include <stdexcept>

#include "common/fixed_record.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

void WriteFile(const QString& path, const std::vector<RecordBytes>& records) {
  std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
  for (const RecordBytes& record : records)
    out.write(reinterpret_cast<const char*>(record.data()), std::streamsize(record.size()));
  if (!out) throw std::runtime_error("cannot write " + path.toStdString());
}

}  // namespace

ShelfRecord MakeShelfRecord(const ShelfCard& card) {
  ShelfRecord record;
  record.bytes.assign(ShelfRecord::kLength, ' ');
  for (std::size_t k = 0; k < card.texts.size(); ++k)
    PutTextField(record.bytes, 30 * k, 30, card.texts[k]);
  PutInt16(record.bytes, 270, card.byWeight);
  for (const ShelfCard::Cell& cell : card.cells)
    PutTextField(record.bytes, 272 + 30 * (cell.x + 11 * cell.y + 121 * (cell.z - 1)), 30,
                 cell.text);
  return record;
}

void WriteBarcodeRequests(const QString& folder, const std::vector<BarcodeRequest>& requests) {
  std::vector<RecordBytes> records;
  for (const BarcodeRequest& request : requests) {
    RecordBytes bytes(BarcodeRequestRecord::kLength, 0);
    PutTextField(bytes, 0, 14, request.code);
    PutTextField(bytes, 14, 32, request.description);
    PutTextField(bytes, 46, 18, request.price);
    PutInt16(bytes, 64, 0);
    records.push_back(bytes);
  }
  WriteFile(folder + "/Barprint", records);
}

void WriteShelfRecords(const QString& folder, const std::vector<ShelfCard>& cards) {
  std::vector<RecordBytes> records;
  for (const ShelfCard& card : cards)
    records.push_back(MakeShelfRecord(card).bytes);
  WriteFile(folder + "/ShelfPrint", records);
}

std::vector<BarcodeRequest> NumberedRequests(int n) {
  std::vector<BarcodeRequest> requests;
  for (int i = 1; i <= n; ++i) {
    // 12 data digits (400638 and the request number) and their check digit.
    const std::string digits = "400638" + std::to_string(100000 + i);
    int sum = 0;
    for (int k = 0; k < 12; ++k)
      sum += (digits[k] - '0') * (k % 2 == 0 ? 1 : 3);
    const std::string code = digits + std::to_string((10 - sum % 10) % 10);
    requests.push_back({code, "Item " + std::to_string(i), "$" + std::to_string(i) + ".99"});
  }
  return requests;
}

JobRig::JobRig() : folder(MakeTempFolder()) {
  settings.Save("Quorrel", "Path", folder.toStdString());
}

std::vector<RecordedOp> TextsEqual(const RecordingSurface& surface, const std::string& text) {
  std::vector<RecordedOp> found;
  for (const RecordedOp& op : surface.Texts())
    if (op.text == text) found.push_back(op);
  return found;
}

}  // namespace corvel::test
