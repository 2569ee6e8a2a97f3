#pragma once
// Flate (zlib format) compression and decompression, with the TIFF and PNG predictors.
#include <cstdint>
#include <string>

#include "uPDFDecodeLimit.h"

// zlib stream of the whole input; empty for empty input or on failure.
std::string CompressFlate(const std::string& bytes);
// Inflated bytes; corrupt data gives what inflated before the damage, non-zlib data gives empty.
// At most `limit` bytes come out; the rest is dropped.
std::string DecompressFlate(const std::string& bytes, size_t limit = kMaxDecodedBytes);
// DecompressFlate, then the predictor undone (2 TIFF, >= 10 PNG; anything else leaves the data).
std::string DecompressFlatePredicted(const std::string& bytes, int32_t predictor, int32_t colors,
                                     int32_t bitsPerComponent, int32_t columns);
