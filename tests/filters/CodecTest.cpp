#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "uPDFAscii85.h"
#include "uPDFCompress.h"
#include "uPDFFlate.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

// Mixed text and binary, compressible but not trivially so.
std::string SampleContent(size_t size) {
  std::string s;
  uint32_t seed = 12345;
  while (s.size() < size) {
    seed = seed * 1103515245u + 12345u;
    if ((seed >> 16) % 3 == 0)
      s += "BT /F1 12 Tf 72 " + std::to_string(seed % 800) + " Td (Line of text) Tj ET\n";
    else
      s.push_back(static_cast<char>(seed >> 24));
  }
  s.resize(size);
  return s;
}

std::string ZlibCompress(const std::string& data) {
  uLongf size = compressBound(data.size());
  std::string out(size, '\0');
  if (compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
               data.size()) != Z_OK)
    return {};
  out.resize(size);
  return out;
}

// zlib stream of first + second with a full flush between them: the second part starts on a
// byte boundary at FlushPoint(first), with no back-references into the first.
std::string ZlibCompressFlushed(const std::string& first, const std::string& second, size_t* flushPoint = nullptr) {
  z_stream zs{};
  deflateInit(&zs, Z_DEFAULT_COMPRESSION);
  std::string out(compressBound(first.size() + second.size()) + 64, '\0');
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(first.data()));
  zs.avail_in = static_cast<uInt>(first.size());
  deflate(&zs, Z_FULL_FLUSH);
  if (flushPoint) *flushPoint = zs.total_out;
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(second.data()));
  zs.avail_in = static_cast<uInt>(second.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

size_t FlushPoint(const std::string& first) {
  size_t point = 0;
  ZlibCompressFlushed(first, "x", &point);
  return point;
}

// Packs codes of the given widths, most significant bit first.
std::string PackCodes(const std::vector<std::pair<int, int>>& codes) {
  std::string out;
  uint64_t acc = 0;
  int n = 0;
  for (auto [code, width] : codes) {
    acc = (acc << width) | static_cast<uint64_t>(code);
    n += width;
    while (n >= 8) {
      n -= 8;
      out.push_back(static_cast<char>((acc >> n) & 0xFF));
    }
  }
  if (n > 0) out.push_back(static_cast<char>((acc << (8 - n)) & 0xFF));
  return out;
}

std::vector<std::pair<int, int>> NineBit(std::initializer_list<int> codes) {
  std::vector<std::pair<int, int>> out;
  for (int c : codes) out.emplace_back(c, 9);
  return out;
}

}  // namespace

TEST(Flate, CompressedOutputInflatesWithZlibAndRoundTrips) {
  for (size_t size : {size_t{1}, size_t{100}, size_t{70000}, size_t{1} << 20}) {
    const std::string data = SampleContent(size);
    const std::string packed = CompressFlate(data);
    ASSERT_FALSE(packed.empty()) << size;
    EXPECT_EQ(static_cast<unsigned char>(packed[0]), 0x78) << "zlib header with a 32K window";
    std::string back(size, '\0');
    uLongf backSize = size;
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(back.data()), &backSize,
                         reinterpret_cast<const Bytef*>(packed.data()), packed.size()),
              Z_OK);
    back.resize(backSize);
    EXPECT_EQ(back, data) << size;
    EXPECT_EQ(DecompressFlate(packed), data) << size;
  }
  EXPECT_EQ(CompressFlate(""), "");
}

TEST(Flate, DamagedInputGivesWhatInflatedBeforeTheDamage) {
  const std::string data = SampleContent(300000);
  const std::string packed = ZlibCompress(data);
  ASSERT_FALSE(packed.empty());

  // Cut short: every prefix stops (no hang) and gives a prefix of the data.
  for (size_t cut : {size_t{1}, size_t{2}, size_t{10}, packed.size() / 2, packed.size() - 4, packed.size() - 1}) {
    const std::string out = DecompressFlate(packed.substr(0, cut));
    EXPECT_TRUE(out == data.substr(0, out.size())) << "cut at " << cut;
    if (cut >= packed.size() - 4) {
      EXPECT_TRUE(out == data) << "only the checksum is missing, cut at " << cut;
    }
  }
  EXPECT_GT(DecompressFlate(packed.substr(0, packed.size() / 2)).size(), data.size() / 4);

  // A block of an invalid type after a flushed first half: exactly the first half comes back.
  const std::string head = data.substr(0, 100000);
  std::string damaged = ZlibCompressFlushed(head, data.substr(100000));
  ASSERT_GT(damaged.size(), FlushPoint(head));
  damaged[FlushPoint(head)] = '\x07';  // final block, type 3 (reserved)
  const std::string partial = DecompressFlate(damaged);
  EXPECT_EQ(partial.size(), head.size());
  EXPECT_TRUE(partial == head);

  // A wrong checksum is a data error after all the data was inflated.
  std::string badSum = packed;
  badSum.back() ^= 1;
  EXPECT_TRUE(DecompressFlate(badSum) == data);
}

TEST(Flate, InputThatIsNotZlibGivesNothing) {
  const struct {
    const char* name;
    std::string input;
  } cases[] = {
      {"empty", ""},
      {"text", "Hello, this is not compressed"},
      {"bad header check", Bytes({0x78, 0x00, 0x01, 0x02})},
      {"raw deflate without header", Bytes({0x4B, 0x4C, 0x4A, 0x06, 0x00})},
      {"preset dictionary wanted", Bytes({0x78, 0xBB, 0x00, 0x00, 0x00, 0x01, 0x4B, 0x04, 0x00})},
      {"header only", Bytes({0x78, 0x9C})},
  };
  for (const auto& c : cases) EXPECT_EQ(DecompressFlate(c.input), "") << c.name;
}

TEST(Flate, PredictorsUndone) {
  const struct {
    const char* name;
    int32_t predictor, colors, bpc, columns;
    std::string inflated, expected;
  } cases[] = {
      {"PNG Up, Columns 5 (cross-reference rows)", 12, 1, 8, 5,
       Bytes({2, 1, 0, 16, 0, 0, 2, 0, 1, 2, 0, 1, 2, 1, 0, 0, 0, 3}),
       Bytes({1, 0, 16, 0, 0, 1, 1, 18, 0, 1, 2, 1, 18, 0, 4})},
      {"PNG None then Average", 10, 1, 8, 2, Bytes({0, 0, 0, 3, 4, 4}), Bytes({0, 0, 4, 6})},
      {"PNG Sub", 11, 1, 8, 3, Bytes({1, 5, 1, 1}), Bytes({5, 6, 7})},
      {"PNG Paeth in the first row adds the left byte", 15, 1, 8, 3, Bytes({4, 5, 1, 1}), Bytes({5, 6, 7})},
      {"PNG Paeth picks the nearest neighbour", 12, 1, 8, 2, Bytes({0, 10, 20, 4, 1, 1}),
       Bytes({10, 20, 11, 21})},
      {"PNG Sub with Colors 3 steps a whole pixel", 12, 3, 8, 2, Bytes({1, 10, 20, 30, 1, 2, 3}),
       Bytes({10, 20, 30, 11, 22, 33})},
      {"PNG sums wrap", 12, 1, 8, 2, Bytes({1, 200, 100}), Bytes({200, 44})},
      {"PNG unknown tag copies", 12, 1, 8, 2, Bytes({9, 7, 8}), Bytes({7, 8})},
      {"PNG incomplete last row dropped", 12, 1, 8, 2, Bytes({0, 1, 2, 2, 1}), Bytes({1, 2})},
      {"PNG shorter than one row", 12, 1, 8, 5, Bytes({2, 1, 2}), ""},
      {"TIFF Colors 3 Columns 2", 2, 3, 8, 2, Bytes({10, 20, 30, 1, 2, 3}), Bytes({10, 20, 30, 11, 22, 33})},
      {"TIFF Colors 1, rows restart, tail kept", 2, 1, 8, 2, Bytes({1, 1, 5, 250, 9}),
       Bytes({1, 2, 5, 255, 9})},
      {"TIFF Colors 2 unsupported", 2, 2, 8, 2, Bytes({1, 1, 1, 1}), Bytes({1, 1, 1, 1})},
      {"no predictor", 1, 1, 8, 2, Bytes({2, 1, 1}), Bytes({2, 1, 1})},
      {"predictor 5 unknown", 5, 1, 8, 2, Bytes({2, 1, 1}), Bytes({2, 1, 1})},
      {"16 bits per component", 12, 1, 16, 2, Bytes({2, 1, 1}), Bytes({2, 1, 1})},
      {"Columns 0", 12, 1, 8, 0, Bytes({2, 1, 1}), Bytes({2, 1, 1})},
      {"Colors negative, Columns negative", 12, -1, 8, -3, Bytes({2, 1, 1}), Bytes({2, 1, 1})},
      {"row length beyond 32 bits", 12, 65536, 8, 65536, Bytes({2, 1, 1}), Bytes({2, 1, 1})},
      {"TIFF huge row leaves a tail", 2, 4, 8, 0x7FFFFFFF, Bytes({2, 1, 1}), Bytes({2, 1, 1})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecompressFlatePredicted(ZlibCompress(c.inflated), c.predictor, c.colors, c.bpc, c.columns),
              c.expected)
        << c.name;
  }
}

TEST(Ascii85, Decodes) {
  const struct {
    const char* name;
    std::string input, expected;
  } cases[] = {
      {"z is four zero bytes", "z~>", Bytes({0, 0, 0, 0})},
      {"Hello with a final group of two", "87cURDZ~>", "Hello"},
      {"white space and line breaks anywhere", " 87c\r\nUR\tD Z~\n>", "Hello"},
      {"no end marker", "87cURDZ", ""},
      {"end marker only", "~>", ""},
      {"highest group", "s8W-!~>", Bytes({0xFF, 0xFF, 0xFF, 0xFF})},
      {"group above 32 bits gives zeros", "uuuuu~>", Bytes({0, 0, 0, 0})},
      {"final group of one gives nothing", "87cURD~>", "Hell"},
      {"z inside groups", "z87cURDZ~>", Bytes({0, 0, 0, 0}) + "Hello"},
      {"other bytes dropped", "87cU\x80RD{Z}~>", "Hello"},
      {"a tilde inside counts as a digit", "!!!!~~>", Bytes({0, 0, 0, '~' - 33})},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeASCII85(c.input), c.expected) << c.name;
}

TEST(Lzw, Decodes) {
  auto widthSwitch = [] {
    // 253 literal codes fill the table up to 510, the next entry makes it 511: from there
    // codes are 10 bits wide.
    std::vector<std::pair<int, int>> codes = {{256, 9}};
    std::string expected;
    for (int i = 0; i < 254; ++i) {
      codes.emplace_back('a' + i % 20, 9);
      expected.push_back(static_cast<char>('a' + i % 20));
    }
    codes.emplace_back(258, 10);
    expected += "ab";
    codes.emplace_back(257, 10);
    return std::make_pair(PackCodes(codes), expected);
  }();
  const struct {
    const char* name;
    std::string input, expected;
  } cases[] = {
      {"ABAB", PackCodes(NineBit({256, 65, 66, 258, 257})), "ABAB"},
      {"ABAB without end code", PackCodes(NineBit({256, 65, 66, 258})), "ABAB"},
      {"code being defined (KwKwK)", PackCodes(NineBit({65, 258, 257})), "AAA"},
      {"end code stops", PackCodes(NineBit({65, 257, 66})), "A"},
      {"clear resets the table", PackCodes(NineBit({65, 66, 256, 67, 258, 257})), "ABCCC"},
      {"code beyond next free skipped", PackCodes(NineBit({65, 300, 66, 257})), "AB"},
      {"code 258 with no previous outputs nothing", PackCodes(NineBit({258, 65, 257})), "A"},
      {"empty", "", ""},
      {"width grows to 10 bits", widthSwitch.first, widthSwitch.second},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeLZW(c.input), c.expected) << c.name;
}

TEST(DecodeLimit, OutputStopsAtTheLimit) {
  const std::string zeros(1 << 20, '\0');
  const std::string bomb = ZlibCompress(zeros);  // about a thousandfold
  const std::string abab = PackCodes(NineBit({256, 65, 66, 258, 257}));
  const struct {
    const char* name;
    std::string out, expected;
  } cases[] = {
      {"Flate cut at the limit", DecompressFlate(bomb, 1000), zeros.substr(0, 1000)},
      {"Flate cut past the first buffer", DecompressFlate(bomb, 300000), zeros.substr(0, 300000)},
      {"Flate exactly at the limit", DecompressFlate(bomb, zeros.size()), zeros},
      {"Flate limit zero", DecompressFlate(bomb, 0), ""},
      {"LZW stops before a string that would pass the limit", DecodeLZW(abab, 3), "AB"},
      {"LZW exactly at the limit", DecodeLZW(abab, 4), "ABAB"},
  };
  for (const auto& c : cases) EXPECT_TRUE(c.out == c.expected) << c.name << ": " << c.out.size() << " bytes";
}
