#pragma once
// The most bytes one decoding step produces. Flate and LZW can expand a small input a
// thousandfold, and a chain of them more; output is cut here (as if the data ended) so a
// hostile stream cannot exhaust memory.
#include <cstddef>

inline constexpr size_t kMaxDecodedBytes = size_t{1} << 30;
