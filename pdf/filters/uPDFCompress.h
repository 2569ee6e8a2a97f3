#pragma once
// LZW decoding (PDF flavour, early change).
#include <string>

// Decoded bytes up to the end-of-data code or the end of the input.
std::string DecodeLZW(const std::string& bytes);
