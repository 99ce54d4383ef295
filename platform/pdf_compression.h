#pragma once
// The compression of the PDF documents this program writes (platform/pdf_compression.cpp).

namespace corvel {

// From now on, streams deflated at zlib's default level (Qt's PDF writer compresses
// every page that way) use the fastest level instead.
void CompressPdfFast();

}  // namespace corvel
