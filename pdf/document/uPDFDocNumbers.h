#pragma once
// Small conversions the document model applies to numbers taken from a file: every value
// is checked before it becomes an offset, a length or an object number.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "uPDFCharClass.h"
#include "uPDFStructure.h"

namespace pdfdoc {

using pdfchars::DigitsValue;
using pdfchars::IsDigit;
using pdfchars::IsWhite;

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

}  // namespace pdfdoc
