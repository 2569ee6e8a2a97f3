#pragma once
// Conversion between the text users type (UTF-8 in the command-line tool, Unicode in the
// window) and the 8-bit text the library takes and returns (Windows-1252). Both programs go
// through these two functions, so a password typed in either gives the same key.
#include <string>

namespace textcodec {

// UTF-8 to library bytes: Windows-1252 when every character has a Windows-1252 byte,
// otherwise the UTF-8 bytes unchanged (so no character is ever lost or replaced).
// Text that is not valid UTF-8 is passed through unchanged.
std::string Utf8ToLibrary(const std::string& utf8);

// Library bytes (Windows-1252) to UTF-8. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same value.
std::string LibraryToUtf8(const std::string& bytes);

// The Windows-1252 byte of a Unicode code point, or -1 when it has none.
int Cp1252Byte(char32_t codePoint);

// The Unicode code point of a Windows-1252 byte.
char32_t Cp1252CodePoint(unsigned char byte);

}  // namespace textcodec
