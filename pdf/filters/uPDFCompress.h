#pragma once
// LZW decoding (PDF flavour, early change).
#include <string>

#include "uPDFDecodeLimit.h"

// Decoded bytes up to the end-of-data code or the end of the input, and at most `limit` of them.
std::string DecodeLZW(const std::string& bytes, size_t limit = kMaxDecodedBytes);
