#include <gtest/gtest.h>

#include "TextCodec.h"

using textcodec::LibraryToUtf8;
using textcodec::Utf8ToLibrary;

TEST(TextCodec, UserTextBecomesWindows1252WhenEveryCharacterFits) {
  struct Case {
    const char* utf8;
    const char* library;
  } cases[] = {
      {"", ""},
      {"secret", "secret"},
      {"caf\xC3\xA9", "caf\xE9"},                  // e acute
      {"\xE2\x82\xAC" "5", "\x80" "5"},             // euro sign
      {"\xE2\x80\x9Cq\xE2\x80\x9D", "\x93q\x94"},   // curly quotes
      {"\xC5\x92\xC5\xA1\xC5\xB8", "\x8C\x9A\x9F"},  // OE, s caron, Y diaeresis
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToLibrary(c.utf8), c.library) << c.utf8;
    EXPECT_EQ(LibraryToUtf8(c.library), c.utf8) << c.utf8;
  }
}

TEST(TextCodec, TextOutsideWindows1252StaysUtf8) {
  // Greek alpha has no Windows-1252 byte: the whole text keeps its UTF-8 bytes, accents included.
  const std::string mixed = "\xC3\xA9\xCE\xB1";
  EXPECT_EQ(Utf8ToLibrary(mixed), mixed);
  // Malformed UTF-8 (a lone continuation byte, an overlong slash, a surrogate) passes unchanged.
  for (std::string bad : {std::string("a\x80"), std::string("\xC0\xAF"), std::string("\xED\xA0\x80")})
    EXPECT_EQ(Utf8ToLibrary(bad), bad);
}

TEST(TextCodec, EveryLibraryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToLibrary(LibraryToUtf8(all)), all);
}
