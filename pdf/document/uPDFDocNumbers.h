#pragma once
// Small conversions the document model applies to numbers taken from a file: every value
// is checked before it becomes an offset, a length or an object number.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "uPDFStructure.h"

namespace pdfdoc {

// A file number truncated towards zero and held inside the 64-bit range (NaN gives 0).
inline int64_t ToInt64(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.2e18) return INT64_C(9200000000000000000);
  if (value <= -9.2e18) return -INT64_C(9200000000000000000);
  return static_cast<int64_t>(value);
}

// The number a value holds as a 64-bit integer, or fallback when it is not a number.
inline int64_t NumberOr(const TPDFObject* value, int64_t fallback) {
  const TPDFNumeric* number = As<TPDFNumeric>(value);
  return number ? ToInt64(number->Value) : fallback;
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A run that is all decimal digits, as a number; fallback when it is empty, holds anything
// else or exceeds limit.
inline int64_t DigitsValue(std::string_view text, int64_t fallback, int64_t limit = INT64_C(999999999999999)) {
  if (text.empty() || text.size() > 15) return fallback;
  int64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return fallback;
    value = value * 10 + (c - '0');
  }
  return value > limit ? fallback : value;
}

// PDF white space: NUL, tab, line feed, form feed, carriage return and blank.
inline bool IsWhite(char c) { return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32; }

}  // namespace pdfdoc
