#pragma once
// Small byte-text helpers shared by the direct-access units (not part of the public interface).
#include <cstdint>
#include <string>
#include <string_view>

#include "uPDFCharClass.h"

class TPDFObject;

namespace smartaccess {

// A direct number as a non-negative offset (read from the exact double, so values beyond
// 32 bits stay right); -1 when the value is not a number or not a whole offset.
int64_t OffsetValue(const TPDFObject* value);

}  // namespace smartaccess
