#pragma once
// Small byte-text helpers shared by the direct-access units (not part of the public interface).
#include <cstdint>
#include <string>
#include <string_view>

class TPDFObject;

namespace smartaccess {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Value of a run of decimal digits, or -1 when it is empty or exceeds limit.
int64_t DigitsValue(std::string_view digits, int64_t limit);

// A direct number as a non-negative offset (read from the exact double, so values beyond
// 32 bits stay right); -1 when the value is not a number or not a whole offset.
int64_t OffsetValue(const TPDFObject* value);

}  // namespace smartaccess
