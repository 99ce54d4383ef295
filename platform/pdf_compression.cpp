// Page streams compressed for speed. Qt's PDF writer deflates the drawing commands of
// every page at zlib's default level; in a run of sheets (one document each) that took
// about a quarter of the time. The fastest level makes those streams about a third
// larger and reads back the same. The program's own deflateInit_ is found before zlib's
// (the executable comes first in the symbol search) and, once CompressPdfFast() was
// called, turns the default level into the fastest; any other level is kept.
#include "platform/pdf_compression.h"

#include <dlfcn.h>
#include <zlib.h>

#include <atomic>

namespace {

std::atomic<bool> compressFast{false};

}  // namespace

namespace corvel {

void CompressPdfFast() {
  compressFast.store(true, std::memory_order_relaxed);
}

}  // namespace corvel

extern "C" int deflateInit_(z_streamp stream, int level, const char* version, int size) {
  using Init = int (*)(z_streamp, int, const char*, int);
  static const Init zlib = reinterpret_cast<Init>(dlsym(RTLD_NEXT, "deflateInit_"));
  if (!zlib) return Z_STREAM_ERROR;
  if (level == Z_DEFAULT_COMPRESSION && compressFast.load(std::memory_order_relaxed))
    level = Z_BEST_SPEED;
  return zlib(stream, level, version, size);
}
