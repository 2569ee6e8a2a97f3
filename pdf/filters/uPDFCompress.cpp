#include "uPDFCompress.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int kTableSize = 4096;
constexpr int kClearCode = 256;
constexpr int kEndCode = 257;
constexpr int kFirstFreeCode = 258;
constexpr int kMinWidth = 9;
constexpr int kMaxWidth = 12;

// The string table. Each code past the single bytes is its prefix code plus one last byte;
// the length and first byte are kept beside it so a string can be written straight into the
// output, back to front, without a separate reversal stack.
struct TLzwTable {
  uint16_t Prefix[kTableSize];
  uint8_t Last[kTableSize];
  uint8_t First[kTableSize];
  uint16_t Length[kTableSize];

  TLzwTable() {
    for (int i = 0; i < 256; ++i) {
      Prefix[i] = 0;
      Last[i] = First[i] = static_cast<uint8_t>(i);
      Length[i] = 1;
    }
  }

  // Appends the string of a defined code (code < next free code).
  void Append(std::string& out, int code) const {
    const size_t end = out.size() + Length[code];
    out.resize(end);
    size_t pos = end;
    // The prefix chain strictly decreases towards a single byte, and is at most Length long.
    for (int n = Length[code]; n > 0; --n) {
      out[--pos] = static_cast<char>(Last[code]);
      code = Prefix[code];
    }
  }
};

}  // namespace

// A code of 256 or more that arrives with no previous code (at the start or right after a
// clear code) names no string yet; it is skipped and outputs nothing.
std::string DecodeLZW(const std::string& bytes, size_t limit) {
  TLzwTable table;
  std::string out;
  out.reserve(std::min(bytes.size() * 2, limit));
  int width = kMinWidth;
  int nextCode = kFirstFreeCode;
  int previous = -1;
  uint32_t bits = 0;
  int bitCount = 0;

  for (char ch : bytes) {
    bits = (bits << 8) | static_cast<uint8_t>(ch);
    bitCount += 8;
    while (bitCount >= width) {
      bitCount -= width;
      const int code = static_cast<int>((bits >> bitCount) & ((1u << width) - 1));
      if (code == kEndCode) return out;
      if (code == kClearCode) {
        width = kMinWidth;
        nextCode = kFirstFreeCode;
        previous = -1;
        continue;
      }
      if (code > nextCode) continue;
      // The longest string a code can add is the previous one plus a byte.
      const size_t adds = previous < 0 ? 1 : table.Length[code < nextCode ? code : previous] + size_t{code == nextCode};
      if (out.size() + adds > limit) return out;
      if (previous < 0) {
        if (code >= 256) continue;
        out.push_back(static_cast<char>(code));
        previous = code;
        continue;
      }
      uint8_t first;
      if (code < nextCode) {
        first = table.First[code];
        table.Append(out, code);
      } else {  // the code being defined right now: previous string plus its own first byte
        first = table.First[previous];
        table.Append(out, previous);
        out.push_back(static_cast<char>(first));
      }
      if (nextCode < kTableSize) {
        table.Prefix[nextCode] = static_cast<uint16_t>(previous);
        table.Last[nextCode] = first;
        table.First[nextCode] = table.First[previous];
        table.Length[nextCode] = static_cast<uint16_t>(table.Length[previous] + 1);
        ++nextCode;
      }
      if (nextCode == (1 << width) - 1 && width < kMaxWidth) ++width;
      previous = code;
    }
  }
  return out;
}
