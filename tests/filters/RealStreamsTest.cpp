// Decodes the streams of a PDF written by qpdf: its cross-reference stream, its object
// stream and page contents stored with Flate, ASCII85 over Flate, and LZW.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "uPDFStructure.h"

namespace {

const char* const kFixture = "filters_objstm.pdf";

// The stream object whose text starts at `objStart` ("N 0 obj << ... >> stream"), its
// dictionary parsed into `structure` and its data cut by /Length. None when it is not there.
TPDFStream* StreamAt(TPDFStructure& structure, const std::string& file, size_t objStart) {
  const size_t dictStart = file.find("obj", objStart);
  const size_t keyword = file.find("stream", dictStart);
  if (dictStart == std::string::npos || keyword == std::string::npos) return nullptr;
  auto* dict = As<TPDFDictionary>(structure.Parse(file.substr(dictStart + 3, keyword - dictStart - 3)));
  if (!dict) return nullptr;
  size_t dataStart = keyword + 6;
  if (file.compare(dataStart, 2, "\r\n") == 0)
    dataStart += 2;
  else if (file.compare(dataStart, 1, "\n") == 0)
    dataStart += 1;
  const int32_t length = dict->GetInteger("Length", -1);
  if (length < 0 || dataStart + static_cast<size_t>(length) > file.size()) return nullptr;
  TPDFStream* stream = structure.NewStream(file.substr(dataStart, static_cast<size_t>(length)));
  stream->SetDictionary(dict);
  return stream;
}

// The stream whose dictionary holds `marker`.
TPDFStream* StreamWith(TPDFStructure& structure, const std::string& file, const std::string& marker) {
  const size_t at = file.find(marker);
  if (at == std::string::npos) return nullptr;
  const size_t objKeyword = file.rfind(" obj", at);
  const size_t lineStart = objKeyword == std::string::npos ? std::string::npos : file.rfind('\n', objKeyword);
  return lineStart == std::string::npos ? nullptr : StreamAt(structure, file, lineStart + 1);
}

struct TXrefEntry {
  int32_t Type = 0;
  int64_t Field2 = 0;  // offset, or the object stream's number
  int64_t Field3 = 0;  // generation, or the index in the object stream
};

int64_t BigEndian(const std::string& row, size_t pos, int32_t width) {
  int64_t v = 0;
  for (int32_t i = 0; i < width; ++i) v = v << 8 | static_cast<uint8_t>(row[pos + i]);
  return v;
}

// The page contents the fixture script wrote for each page.
std::string PageContent(int page) {
  std::string s = "BT /F1 11 Tf 72 760 Td 14 TL\n";
  for (int i = 0; i < 300; ++i)
    s += "(Page " + std::to_string(page) + ", line " + std::to_string(i) +
         ": the quick brown fox jumps over the lazy dog) '\n";
  return s + "ET\n";
}

// A /Filter value as its names separated by spaces.
std::string FilterList(const TPDFObject* filter) {
  if (const auto* name = As<TPDFName>(filter)) return name->Value;
  std::string names;
  if (const auto* array = As<TPDFArray>(filter))
    for (int32_t i = 0; i < array->Count(); ++i)
      if (const auto* item = As<TPDFName>(array->GetItem(i))) names += (names.empty() ? "" : " ") + item->Value;
  return names;
}

class RealStreams : public ::testing::Test {
 protected:
  void SetUp() override {
    File = testsupport::ReadFile(testsupport::DataPath(kFixture));
    ASSERT_FALSE(File.empty()) << "run tools/make_filter_fixtures.sh";
    TPDFStream* xref = StreamWith(Structure, File, "/Type /XRef");
    ASSERT_NE(xref, nullptr);
    XrefDict = xref->Dictionary;
    const auto* w = As<TPDFArray>(XrefDict->GetValue("W"));
    ASSERT_TRUE(w && w->Count() == 3);
    int32_t rowLength = 0;
    for (int32_t i = 0; i < 3; ++i) {
      W[i] = As<TPDFNumeric>(w->GetItem(i))->AsInteger();
      rowLength += W[i];
    }
    const std::string rows = xref->GetDecoded();
    ASSERT_GT(rowLength, 0);
    ASSERT_EQ(rows.size() % rowLength, 0u) << "whole rows of sum(/W) bytes";
    ASSERT_EQ(XrefDict->GetValue("Index"), nullptr) << "the rows start at object 0";
    ASSERT_EQ(rows.size() / rowLength, static_cast<size_t>(XrefDict->GetInteger("Size", -1)));
    for (size_t pos = 0; pos < rows.size(); pos += rowLength) {
      TXrefEntry e;
      e.Type = W[0] == 0 ? 1 : static_cast<int32_t>(BigEndian(rows, pos, W[0]));
      e.Field2 = BigEndian(rows, pos + W[0], W[1]);
      e.Field3 = BigEndian(rows, pos + W[0] + W[1], W[2]);
      Xref.push_back(e);
    }
  }

  std::string File;
  TPDFStructure Structure;
  TPDFDictionary* XrefDict = nullptr;
  int32_t W[3] = {0, 0, 0};
  std::vector<TXrefEntry> Xref;
};

}  // namespace

TEST_F(RealStreams, CrossReferenceRowsPointAtTheirObjects) {
  EXPECT_EQ(XrefDict->GetText("Filter"), "FlateDecode");
  ASSERT_NE(XrefDict->GetValue("DecodeParms"), nullptr) << "the rows are PNG-predicted";
  int inFile = 0, inStreams = 0;
  for (size_t n = 1; n < Xref.size(); ++n) {
    const TXrefEntry& e = Xref[n];
    if (e.Type == 1) {
      ++inFile;
      ASSERT_LT(e.Field2, static_cast<int64_t>(File.size())) << n;
      EXPECT_EQ(File.compare(e.Field2, std::to_string(n).size() + 6, std::to_string(n) + " 0 obj"), 0) << n;
    } else {
      ++inStreams;
      ASSERT_EQ(e.Type, 2) << n;
      ASSERT_LT(e.Field2, static_cast<int64_t>(Xref.size()));
      EXPECT_EQ(Xref[e.Field2].Type, 1) << "object " << n << " sits in an object stream stored in the file";
    }
  }
  EXPECT_GT(inFile, 0);
  EXPECT_GT(inStreams, 0);
}

TEST_F(RealStreams, CrossReferenceMatchesQpdf) {
  REQUIRE_TOOL("qpdf");
  std::string expected;
  ASSERT_EQ(testsupport::Run("qpdf --show-xref " + testsupport::Quote(testsupport::DataPath(kFixture)), &expected), 0);
  std::string ours;
  for (size_t n = 1; n < Xref.size(); ++n) {
    const TXrefEntry& e = Xref[n];
    ours += std::to_string(n) + "/" + (e.Type == 2 ? "0" : std::to_string(e.Field3)) + ": ";
    if (e.Type == 1)
      ours += "uncompressed; offset = " + std::to_string(e.Field2) + "\n";
    else
      ours += "compressed; stream = " + std::to_string(e.Field2) + ", index = " + std::to_string(e.Field3) + "\n";
  }
  EXPECT_EQ(ours, expected);
}

TEST_F(RealStreams, ObjectStreamHoldsNumberPairsThenObjects) {
  TPDFStream* objStm = StreamWith(Structure, File, "/Type /ObjStm");
  ASSERT_NE(objStm, nullptr);
  const int32_t count = objStm->Dictionary->GetInteger("N", -1);
  const int32_t first = objStm->Dictionary->GetInteger("First", -1);
  const std::string decoded = objStm->GetDecoded();
  ASSERT_GT(count, 0);
  ASSERT_GT(first, 0);
  ASSERT_LE(static_cast<size_t>(first), decoded.size());

  // The header: N pairs of object number and offset (relative to /First).
  std::vector<std::pair<int32_t, int32_t>> pairs;
  {
    TPDFStructure header;
    const std::string text = decoded.substr(0, first);
    size_t pos = 0;
    for (int32_t i = 0; i < 2 * count; ++i) {
      const size_t start = text.find_first_not_of(" \r\n", pos);
      ASSERT_NE(start, std::string::npos) << "pair " << i / 2;
      pos = text.find_first_of(" \r\n", start);
      const auto* number = As<TPDFNumeric>(header.Parse(text.substr(start, pos - start)));
      ASSERT_NE(number, nullptr) << "pair " << i / 2;
      if (i % 2 == 0)
        pairs.emplace_back(number->AsInteger(), 0);
      else
        pairs.back().second = number->AsInteger();
    }
  }

  const size_t objStmNumber = [&] {
    for (size_t n = 0; n < Xref.size(); ++n)
      if (Xref[n].Type == 1 && File.compare(Xref[n].Field2, std::to_string(n).size() + 6, std::to_string(n) + " 0 obj") == 0 &&
          File.find("/Type /ObjStm", Xref[n].Field2) < File.find("endobj", Xref[n].Field2))
        return n;
    return size_t{0};
  }();
  ASSERT_NE(objStmNumber, 0u);

  int catalogs = 0, pages = 0;
  for (size_t i = 0; i < pairs.size(); ++i) {
    const auto [number, offset] = pairs[i];
    ASSERT_GE(number, 0);
    ASSERT_LT(static_cast<size_t>(number), Xref.size());
    EXPECT_EQ(Xref[number].Type, 2) << number;
    EXPECT_EQ(Xref[number].Field2, static_cast<int64_t>(objStmNumber)) << number;
    EXPECT_EQ(Xref[number].Field3, static_cast<int64_t>(i)) << number;
    const size_t end = i + 1 < pairs.size() ? first + pairs[i + 1].second : decoded.size();
    ASSERT_LE(first + offset, end);
    const auto* dict = As<TPDFDictionary>(Structure.Parse(decoded.substr(first + offset, end - first - offset)));
    ASSERT_NE(dict, nullptr) << "object " << number;
    catalogs += dict->GetTypeName() == "Catalog";
    pages += dict->GetTypeName() == "Page";
  }
  EXPECT_EQ(catalogs, 1);
  EXPECT_EQ(pages, 3);
}

TEST_F(RealStreams, PageContentsDecodeWhateverTheirFilters) {
  // Page contents are streams, so they are stored in the file; find each through the xref.
  std::vector<std::string> filters, contents;
  for (size_t n = 1; n < Xref.size(); ++n) {
    if (Xref[n].Type != 1) continue;
    TPDFStream* stream = StreamAt(Structure, File, static_cast<size_t>(Xref[n].Field2));
    if (!stream || !stream->Dictionary->GetTypeName().empty()) continue;
    filters.push_back(FilterList(stream->Dictionary->GetValue("Filter")));
    contents.push_back(stream->GetDecoded());
  }
  ASSERT_EQ(contents.size(), 3u);
  EXPECT_EQ(filters, (std::vector<std::string>{"FlateDecode", "ASCII85Decode FlateDecode", "LZWDecode"}));
  for (int page = 1; page <= 3; ++page) EXPECT_TRUE(contents[page - 1] == PageContent(page)) << "page " << page;
}
