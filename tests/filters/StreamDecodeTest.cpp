#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "uPDFFlate.h"
#include "uPDFStructure.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

std::string Zlib(const std::string& data) {
  uLongf size = compressBound(data.size());
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()), data.size());
  out.resize(size);
  return out;
}

// ASCII85 with the end marker, for building test data.
std::string Ascii85(const std::string& data) {
  std::string out;
  for (size_t i = 0; i < data.size(); i += 4) {
    const size_t n = std::min<size_t>(4, data.size() - i);
    uint32_t v = 0;
    for (size_t j = 0; j < 4; ++j) v = v << 8 | (j < n ? static_cast<uint8_t>(data[i + j]) : 0);
    char group[5];
    for (int j = 4; j >= 0; --j, v /= 85) group[j] = static_cast<char>('!' + v % 85);
    out.append(group, n + 1);
  }
  return out + "~>";
}

// A stream in its own structure with the dictionary parsed from text.
struct TStreamCase {
  TPDFStructure Structure;
  TPDFStream* Stream = nullptr;

  TStreamCase(const std::string& dictionaryText, const std::string& data) {
    Stream = Structure.NewStream(data);
    if (auto* dict = As<TPDFDictionary>(Structure.Parse(dictionaryText))) Stream->SetDictionary(dict);
  }
};

// PNG rows with the Up tag for the rows below: (tag 2; 1 0 16 0) (tag 2; 0 0 2 0).
const std::string kUpRows = Bytes({2, 1, 0, 16, 0, 2, 0, 0, 2, 0});
const std::string kUpDecoded = Bytes({1, 0, 16, 0, 1, 0, 18, 0});

}  // namespace

TEST(StreamDecode, FilterChainAndParameters) {
  const std::string upFlate = Zlib(kUpRows);
  const std::string five = Zlib(Bytes({2, 1, 0, 16, 0, 0, 2, 0, 1, 2, 0, 1}));
  const std::string text = "BT /F1 12 Tf (Hi) Tj ET";
  const struct {
    const char* name;
    std::string dictionary, data, expected;
  } cases[] = {
      {"cross-reference rows, PNG Up with Columns 5",
       "<< /Type /XRef /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 5 >> >>", five,
       Bytes({1, 0, 16, 0, 0, 1, 1, 18, 0, 1})},
      {"ASCII85 then Flate, predictor on the Flate step only",
       "<< /Filter [ /ASCII85Decode /FlateDecode ] /DecodeParms [ null << /Predictor 12 /Columns 4 >> ] >>",
       Ascii85(upFlate), kUpDecoded},
      {"a parameter dictionary belongs to the first filter",
       "<< /Filter [ /ASCII85Decode /FlateDecode ] /DecodeParms << /Predictor 12 /Columns 4 >> >>",
       Ascii85(upFlate), kUpRows},
      {"/DP when /DecodeParms is absent", "<< /Filter /FlateDecode /DP << /Predictor 12 /Columns 4 >> >>",
       upFlate, kUpDecoded},
      {"/DecodeParms wins over /DP", "<< /Filter /FlateDecode /DecodeParms << >> /DP << /Predictor 12 /Columns 4 >> >>",
       upFlate, kUpRows},
      {"parameters array shorter than the filters", "<< /Filter [ /ASCII85Decode /FlateDecode ] /DecodeParms [ null ] >>",
       Ascii85(upFlate), kUpRows},
      {"ASCIIHexDecode passes raw", "<< /Filter /ASCIIHexDecode >>", "48 69>", "48 69>"},
      {"RunLengthDecode passes raw", "<< /Filter /RunLengthDecode >>", Bytes({1, 'H', 'i', 128}),
       Bytes({1, 'H', 'i', 128})},
      {"abbreviated name passes raw", "<< /Filter /Fl >>", upFlate, upFlate},
      {"names compare case-sensitively", "<< /Filter /flatedecode >>", upFlate, upFlate},
      {"no filter", "<< /Length 3 >>", "abc", "abc"},
      {"filter that is not a name or array", "<< /Filter 5 >>", upFlate, upFlate},
      {"array items that are not names are skipped", "<< /Filter [ 1 /FlateDecode (x) ] >>", Zlib(text), text},
      {"empty filter array", "<< /Filter [ ] >>", upFlate, upFlate},
      {"LZW parameters are not read", "<< /Filter /LZWDecode /DecodeParms << /Predictor 2 /EarlyChange 0 >> >>",
       Bytes({0x80, 0x10, 0x48, 0x50, 0x28, 0x08}), "ABAB"},
      {"ASCII85 without its end marker", "<< /Filter /ASCII85Decode >>", "87cURDZ", ""},
      {"reference to a filter name", "<< /Filter 7 0 R >>", Zlib(text), text},
      {"references inside a filter array are not resolved", "<< /Filter [ 7 0 R ] >>", upFlate, upFlate},
      {"reference to the parameters", "<< /Filter /FlateDecode /DecodeParms 8 0 R >>", upFlate, kUpDecoded},
      {"references inside a parameter array are not resolved", "<< /Filter /FlateDecode /DecodeParms [ 8 0 R ] >>",
       upFlate, kUpRows},
      {"parameter value through a reference", "<< /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 9 0 R >> >>",
       upFlate, kUpDecoded},
      {"unresolvable reference as the filter", "<< /Filter 99 0 R >>", upFlate, upFlate},
  };
  for (const auto& c : cases) {
    TStreamCase sc(c.dictionary, c.data);
    // 7 0 R is the name FlateDecode, 8 0 R a PNG parameter dictionary, 9 0 R the number 4.
    std::map<int32_t, TPDFObject*> targets = {
        {7, sc.Structure.Parse("/FlateDecode")},
        {8, sc.Structure.Parse("<< /Predictor 12 /Columns 4 >>")},
        {9, sc.Structure.Parse("4")},
    };
    sc.Structure.OnLookup = [&](TPDFIndRef*, int32_t objNum, int32_t) -> TPDFObject* {
      auto it = targets.find(objNum);
      return it == targets.end() ? nullptr : it->second;
    };
    EXPECT_EQ(sc.Stream->GetDecoded(), c.expected) << c.name;
    EXPECT_EQ(sc.Stream->GetData(), c.data) << c.name << ": raw data untouched";
  }
}
