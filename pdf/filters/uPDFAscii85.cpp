#include "uPDFAscii85.h"

#include <cstdint>

namespace {

constexpr uint64_t kMaxWord = 0xFFFFFFFFull;

// Keeps the digits "!".."u" and every "~", expands "z" to five "!", drops everything else.
std::string FilterDigits(const std::string& text) {
  std::string kept;
  kept.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= '!' && c <= 'u') || c == '~')
      kept.push_back(ch);
    else if (c == 'z')
      kept.append("!!!!!");
  }
  return kept;
}

// Base-85 value of five characters, each counted as its code minus 33.
uint64_t GroupValue(const char* group) {
  uint64_t v = 0;
  for (int i = 0; i < 5; ++i) v = v * 85 + (static_cast<unsigned char>(group[i]) - 33u);
  return v;
}

void AppendWord(std::string& out, uint64_t v, int count) {
  for (int i = 0; i < count; ++i) out.push_back(static_cast<char>((v >> (24 - 8 * i)) & 0xFF));
}

}  // namespace

std::string DecodeASCII85(const std::string& text) {
  std::string digits = FilterDigits(text);
  if (digits.size() < 2 || digits.compare(digits.size() - 2, 2, "~>") != 0) return {};
  digits.resize(digits.size() - 2);

  std::string out;
  out.reserve(digits.size() / 5 * 4 + 4);
  const size_t whole = digits.size() / 5 * 5;
  for (size_t i = 0; i < whole; i += 5) {
    const uint64_t v = GroupValue(digits.data() + i);
    AppendWord(out, v > kMaxWord ? 0 : v, 4);
  }
  const size_t k = digits.size() - whole;
  if (k >= 2) {
    char group[5] = {'u', 'u', 'u', 'u', 'u'};
    for (size_t i = 0; i < k; ++i) group[i] = digits[whole + i];
    const uint64_t v = GroupValue(group);
    AppendWord(out, v >= kMaxWord ? 0 : v, static_cast<int>(k) - 1);
  }
  return out;
}
