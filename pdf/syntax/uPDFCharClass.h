#pragma once
// Byte classes and digit runs of PDF text, for the readers that scan file bytes by hand (the
// cross-reference readers, object headers). The object parser keeps its own class table.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pdfchars {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// PDF white space: NUL, tab, line feed, form feed, carriage return and blank.
inline bool IsWhite(char c) { return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32; }

// PDF delimiters, as the object parser takes them: ( ) < > [ ] / % {.
inline bool IsDelimiter(char c) {
  switch (c) {
    case '(': case ')': case '<': case '>': case '[': case ']': case '/': case '%': case '{': return true;
    default: return false;
  }
}

// The position of the first token at or after from: any run of white space and comments
// (a comment runs to the end of its line) skipped, as the object parser skips them.
inline size_t SkipWhiteAndComments(std::string_view text, size_t from) {
  while (from < text.size()) {
    if (IsWhite(text[from])) {
      ++from;
    } else if (text[from] == '%') {
      while (from < text.size() && text[from] != '\n' && text[from] != '\r') ++from;
    } else {
      break;
    }
  }
  return from;
}

// A run of decimal digits as a number; fallback when the run is empty, holds anything else or
// exceeds limit (checked digit by digit, so no run can overflow; limit at most 2^53).
inline int64_t DigitsValue(std::string_view digits, int64_t fallback, int64_t limit = INT64_C(999999999999999)) {
  if (digits.empty()) return fallback;
  int64_t value = 0;
  for (char c : digits) {
    if (!IsDigit(c)) return fallback;
    value = value * 10 + (c - '0');
    if (value > limit) return fallback;
  }
  return value;
}

}  // namespace pdfchars
