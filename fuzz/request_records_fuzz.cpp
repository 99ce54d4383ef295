// The barcode request and shelf records' decoders and encoders: every field read from a
// record and written into a new one gives back the record byte for byte. The input is
// repeated to the record length, so a short input reaches every field.
#include "fuzz/check.h"
#include "runner/request_files.h"

using namespace corvel;

namespace {
RecordBytes Repeated(const std::uint8_t* data, std::size_t size, std::size_t length) {
  RecordBytes bytes(length, 0);
  for (std::size_t i = 0; size > 0 && i < length; ++i)
    bytes[i] = data[i % size];
  return bytes;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  BarcodeRequestRecord request, requestCopy;
  request.bytes = Repeated(data, size, BarcodeRequestRecord::kLength);
  requestCopy.SetCode(request.Code());
  requestCopy.SetDescription(request.Description());
  requestCopy.SetPrice(request.Price());
  requestCopy.SetSpare(request.Spare());
  FUZZ_CHECK(requestCopy.bytes == request.bytes);

  ShelfRecord shelf, shelfCopy;
  shelf.bytes = Repeated(data, size, ShelfRecord::kLength);
  for (int k = 0; k < ShelfRecord::kTextCount; ++k)
    shelfCopy.SetText(k, shelf.Text(k));
  shelfCopy.SetByWeight(shelf.ByWeight());
  for (int z = 1; z <= ShelfRecord::kLayoutCount; ++z)
    for (int y = 0; y <= 10; ++y)
      for (int x = 0; x <= 10; ++x)
        shelfCopy.SetLayout(x, y, z, shelf.Layout(x, y, z));
  FUZZ_CHECK(shelfCopy.bytes == shelf.bytes);
  return 0;
}
