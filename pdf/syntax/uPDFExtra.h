#pragma once
// Locale-independent number formatting and reading, and PDF date strings.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "uPlatform.h"

// Number text with '.' as separator, `decimals` digits cut (not rounded) after the point,
// left-padded with '0' to `minWidth`; values that would need an exponent format as 0.
std::string FormatNumber(double value, int32_t decimals, int32_t minWidth);

// Reads a decimal number ("12", "-0.5", ".5"); unreadable text gives 0. At most 9 fraction digits count.
double ParseReal(const std::string& text);

// True when the text (trimmed) consists of digits, '-' and at most one '.', with '-' only in front.
bool IsNumberText(const std::string& text);

// "D:yyyymmddhhmmss" plus the zone part ("Z" or "+hh'mm'"), for the current local time.
std::string PdfDateNow();

// The same for a given date-time; with fromUtc the value is moved from UTC to local time first.
std::string PdfDateFrom(const platform::TDateTime& dateTime, bool fromUtc);

// FormatNumber appending to out (no temporary text).
void AppendFormattedNumber(std::string& out, double value, int32_t decimals, int32_t minWidth);

// ParseReal of text that IsNumberText has accepted and that has no surrounding white space.
double ParseRealChecked(std::string_view text);

// The decimal integer text (optional '-', then digits only) as a double: exact up to 2^53,
// the nearest double beyond. Anything else reads as 0.
double ReadDecimalInteger(std::string_view text);
