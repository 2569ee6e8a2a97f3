#include "uPDFExtra.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "uPDFCharClass.h"

namespace {

using pdfchars::IsDigit;

// The value in the general 15-significant-digit form ("%.15g" in the C locale); exponent
// notation and values that are not finite come out as "0.00". Returns the length.
size_t GeneralForm(double value, char* buf) {
  if (value == 0) {  // also -0
    buf[0] = '0';
    return 1;
  }
  if (std::isfinite(value)) {
    auto [end, ec] = std::to_chars(buf, buf + 40, value, std::chars_format::general, 15);
    size_t len = static_cast<size_t>(end - buf);
    if (ec == std::errc() && !std::memchr(buf, 'e', len)) return len;
  }
  std::memcpy(buf, "0.00", 4);
  return 4;
}

// Optional '-' then digits only, read exactly into magnitude; false for anything else.
bool ReadPlainInteger(std::string_view text, bool& negative, double& magnitude) {
  negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty()) return false;
  for (char c : text)
    if (!IsDigit(c)) return false;
  if (text.size() <= 18) {
    uint64_t v = 0;
    for (char c : text) v = v * 10 + static_cast<uint64_t>(c - '0');
    magnitude = static_cast<double>(v);
    return true;
  }
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
  return ec == std::errc() || ec == std::errc::result_out_of_range;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
  return text;
}

void AppendDigits(std::string& out, int64_t value, int width) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value < 0 ? -value : value);
  (void)ec;
  int len = static_cast<int>(end - buf);
  if (value < 0) out += '-';
  if (len < width) out.append(static_cast<size_t>(width - len), '0');
  out.append(buf, static_cast<size_t>(len));
}

int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

platform::TDateTime AddMinutes(platform::TDateTime dt, int32_t minutes) {
  int64_t total = DaysFromCivil(dt.Year, dt.Month, dt.Day) * 1440 + int64_t{dt.Hour} * 60 + dt.Minute + minutes;
  int64_t days = total >= 0 ? total / 1440 : -((-total + 1439) / 1440);
  int64_t rest = total - days * 1440;
  CivilFromDays(days, dt.Year, dt.Month, dt.Day);
  dt.Hour = static_cast<int>(rest / 60);
  dt.Minute = static_cast<int>(rest % 60);
  return dt;
}

int32_t CurrentUtcOffset() {
  const platform::TClock& clock = platform::Clock();
  return clock.UtcOffsetMinutes ? clock.UtcOffsetMinutes() : 0;
}

std::string DateText(const platform::TDateTime& dt, int32_t offset) {
  std::string out = "D:";
  AppendDigits(out, dt.Year, 4);
  AppendDigits(out, dt.Month, 2);
  AppendDigits(out, dt.Day, 2);
  AppendDigits(out, dt.Hour, 2);
  AppendDigits(out, dt.Minute, 2);
  AppendDigits(out, dt.Second, 2);
  if (offset == 0) {
    out += 'Z';
    return out;
  }
  int64_t magnitude = offset < 0 ? -int64_t{offset} : offset;
  out += offset > 0 ? '+' : '-';
  AppendDigits(out, magnitude / 60, 2);
  out += '\'';
  AppendDigits(out, magnitude % 60, 2);
  out += '\'';
  return out;
}

}  // namespace

void AppendFormattedNumber(std::string& out, double value, int32_t decimals, int32_t minWidth) {
  char buf[64];
  size_t len = GeneralForm(value, buf);
  char* dot = static_cast<char*>(std::memchr(buf, '.', len));
  if (dot && decimals <= 0) {
    len = static_cast<size_t>(dot - buf);
  } else if (!dot && decimals > 0) {
    dot = buf + len;
    buf[len++] = '.';
  }
  if (dot && decimals > 0) {
    std::memset(buf + len, '0', 10);
    len += 10;
    int64_t cut = (dot - buf) + 1 + int64_t{decimals};
    if (cut < static_cast<int64_t>(len)) len = static_cast<size_t>(cut);
  }
  if (static_cast<int64_t>(len) < minWidth) out.append(static_cast<size_t>(minWidth) - len, '0');
  out.append(buf, len);
}

std::string FormatNumber(double value, int32_t decimals, int32_t minWidth) {
  std::string out;
  AppendFormattedNumber(out, value, decimals, minWidth);
  return out;
}

bool IsNumberText(const std::string& text) {
  std::string_view t = Trim(text);
  size_t minus = t.find('-');
  if (minus != std::string_view::npos && minus != 0) return false;
  int dots = 0;
  for (char c : t) {
    if (c == '.') {
      if (++dots > 1) return false;
    } else if (!IsDigit(c) && c != '-') {
      return false;
    }
  }
  return true;
}

double ReadDecimalInteger(std::string_view text) {
  bool negative = false;
  double magnitude = 0;
  if (!ReadPlainInteger(text, negative, magnitude)) return 0;
  return negative ? -magnitude : magnitude;
}

double ParseRealChecked(std::string_view text) {
  size_t dot = text.find('.');
  if (dot == std::string_view::npos) return ReadDecimalInteger(text);
  std::string_view whole = text.substr(0, dot);
  std::string_view fraction = text.substr(dot + 1, 9);
  bool wholeNegative = false, fractionNegative = false;
  double wholeMagnitude = 0, fractionMagnitude = 0;
  if (!ReadPlainInteger(whole, wholeNegative, wholeMagnitude)) wholeMagnitude = 0;
  if (!ReadPlainInteger(fraction, fractionNegative, fractionMagnitude)) fractionMagnitude = 0;
  static constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  const double scale = kPowers[fraction.size()];
  double result;
  if (!fractionNegative && wholeMagnitude * scale + fractionMagnitude < 9007199254740992.0) {
    // Both parts as one exact integer over a power of ten: a single, correct rounding.
    result = (wholeMagnitude * scale + fractionMagnitude) / scale;
  } else {
    result = wholeMagnitude + (fractionNegative ? -fractionMagnitude : fractionMagnitude) / scale;
  }
  return text.find('-') != std::string_view::npos ? -result : result;
}

double ParseReal(const std::string& text) {
  if (!IsNumberText(text)) return 0;
  return ParseRealChecked(Trim(text));
}

std::string PdfDateFrom(const platform::TDateTime& dateTime, bool fromUtc) {
  int32_t offset = CurrentUtcOffset();
  if (fromUtc && offset != 0) return DateText(AddMinutes(dateTime, offset), offset);
  return DateText(dateTime, offset);
}

std::string PdfDateNow() {
  const platform::TClock& clock = platform::Clock();
  int32_t offset = CurrentUtcOffset();
  return DateText(clock.LocalNow ? clock.LocalNow() : platform::TDateTime{}, offset);
}
