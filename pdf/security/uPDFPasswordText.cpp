// Passwords typed as Unicode text, as the revisions of the standard security handler hash them:
// PDFDocEncoding bytes up to revision 4, SASLprep'd UTF-8 from revision 5 on.
#include <stringprep.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "uPDFSecurityAES.h"

namespace {

// Decodes the next UTF-8 sequence at text[at]; false on a malformed, overlong or surrogate
// sequence or one beyond U+10FFFF.
bool NextCodePoint(const std::string& text, size_t& at, char32_t& cp) {
  const auto lead = static_cast<uint8_t>(text[at]);
  size_t extra = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    cp = lead;
  } else if ((lead & 0xE0) == 0xC0) {
    cp = lead & 0x1F, extra = 1, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    cp = lead & 0x0F, extra = 2, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    cp = lead & 0x07, extra = 3, min = 0x10000;
  } else {
    return false;
  }
  if (extra && at + extra >= text.size()) return false;
  for (size_t i = 1; i <= extra; ++i) {
    const auto c = static_cast<uint8_t>(text[at + i]);
    if ((c & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (c & 0x3F);
  }
  at += extra + 1;
  return cp >= min && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

bool IsUtf8(const std::string& text) {
  char32_t cp = 0;
  for (size_t at = 0; at < text.size();)
    if (!NextCodePoint(text, at, cp)) return false;
  return true;
}

// The character of each PDFDocEncoding byte, 0 where the byte has none (0x7F, 0x9F, 0xAD).
// It is Latin-1 but for 0x18 to 0x1F (spacing accents), 0x80 to 0x9E (punctuation, ligatures
// and letters of Windows-1252) and 0xA0 (the euro sign).
std::array<char32_t, 256> PdfDocTable() {
  std::array<char32_t, 256> table{};
  for (char32_t b = 0; b < 256; ++b) table[b] = b;
  const char32_t accents[8] = {0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC};
  for (int i = 0; i < 8; ++i) table[0x18 + i] = accents[i];
  const char32_t high[31] = {0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039, 0x203A, 0x2212,
                             0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141,
                             0x0152, 0x0160, 0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E};
  for (int i = 0; i < 31; ++i) table[0x80 + i] = high[i];
  table[0x7F] = table[0x9F] = table[0xAD] = 0;
  table[0xA0] = 0x20AC;
  return table;
}

// The byte of a character, -1 when PDFDocEncoding has none.
int PdfDocByte(char32_t cp) {
  static const std::array<char32_t, 256> table = PdfDocTable();
  if (cp == 0) return 0;
  for (int b = 1; b < 256; ++b)
    if (table[static_cast<size_t>(b)] == cp) return b;
  return -1;
}

}  // namespace

bool Utf8ToPdfDoc(const std::string& utf8, std::string& bytes) {
  bytes.clear();
  char32_t cp = 0;
  for (size_t at = 0; at < utf8.size();) {
    if (!NextCodePoint(utf8, at, cp)) return false;
    const int b = PdfDocByte(cp);
    if (b < 0) return false;
    bytes += static_cast<char>(b);
  }
  return true;
}

// Algorithm 2.A, steps a-b: SASLprep of the UTF-8 password, then its first 127 bytes.
bool PreparePasswordR6(const std::string& utf8, std::string& prepared) {
  prepared.clear();
  if (utf8.find('\0') != std::string::npos || !IsUtf8(utf8)) return false;  // U+0000 is prohibited too
  char* out = nullptr;
  const int rc = stringprep_profile(utf8.c_str(), &out, "SASLprep", static_cast<Stringprep_profile_flags>(0));
  if (rc != STRINGPREP_OK || !out) {
    std::free(out);
    return false;
  }
  prepared.assign(out);
  std::free(out);
  prepared.resize(std::min(prepared.size(), kMaxPasswordBytesR6));
  return true;
}
