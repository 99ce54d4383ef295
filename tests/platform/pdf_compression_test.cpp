// The process-wide PDF compression switch: once CompressPdfFast() was called, zlib's
// default level (what Qt's PDF writer asks for) deflates as the fastest level does;
// an explicit level is kept.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "platform/pdf_compression.h"

namespace corvel {
namespace {

// `text` deflated at `level` through deflateInit, as a PDF writer does.
std::string Deflated(const std::string& text, int level) {
  z_stream stream{};
  EXPECT_EQ(deflateInit(&stream, level), Z_OK);
  std::string out(deflateBound(&stream, text.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

TEST(PdfCompression, DefaultLevelBecomesTheFastestOnceAsked) {
  std::string page;  // drawing commands of a label page, repeated as a sheet repeats them
  for (int i = 0; i < 4000; ++i)
    page += "q 1 0 0 1 " + std::to_string(i % 97) + " 40 cm 0 0 " + std::to_string(i % 13) +
            " 900 re f Q\n";
  const std::string fastest = Deflated(page, Z_BEST_SPEED);
  const std::string usual = Deflated(page, 6);
  ASSERT_NE(fastest, usual);
  CompressPdfFast();  // as every print surface does when it is made
  EXPECT_EQ(Deflated(page, Z_DEFAULT_COMPRESSION), fastest);
  EXPECT_EQ(Deflated(page, 6), usual);
}

}  // namespace
}  // namespace corvel
