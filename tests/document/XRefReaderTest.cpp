// The cross-reference reader: the start offset, classic tables, cross-reference streams,
// hybrid files and chains that loop or break.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "DocTestPdf.h"
#include "uPDFXRef.h"

using doctest_pdf::TTestPdf;

namespace {

using TEntry = std::tuple<int32_t, int64_t, int64_t, char>;

struct TRead {
  bool Ok = false;
  std::vector<TEntry> Entries;
  std::vector<std::string> Trailers;
};

TRead ReadAt(const std::string& text, int64_t offset) {
  TPDFFileBytes bytes;
  bytes.Assign(text);
  TPDFXRefReader reader(bytes);
  TRead read;
  reader.OnEntry = [&](int32_t n, int64_t f2, int64_t f3, char kind) { read.Entries.emplace_back(n, f2, f3, kind); };
  reader.OnTrailer = [&](const std::string& t) { read.Trailers.push_back(t); };
  read.Ok = reader.ReadSection(offset);
  return read;
}

TRead ReadAll(const std::string& text) {
  TPDFFileBytes bytes;
  bytes.Assign(text);
  return ReadAt(text, TPDFXRefReader(bytes).FindStartXRef());
}

int64_t StartOf(const std::string& text) {
  TPDFFileBytes bytes;
  bytes.Assign(text);
  return TPDFXRefReader(bytes).FindStartXRef();
}

// A cross-reference stream object without a filter: fields written big-endian at the widths.
std::string XRefStream(int num, const std::vector<std::vector<uint64_t>>& rows, const std::vector<int>& widths,
                       const std::string& keys) {
  std::string data;
  for (const auto& row : rows)
    for (size_t f = 0; f < widths.size(); ++f)
      for (int b = widths[f] - 1; b >= 0; --b) data += static_cast<char>((row[f] >> (8 * b)) & 0xFF);
  std::string w = "[";
  for (int width : widths) w += " " + std::to_string(width);
  return std::to_string(num) + " 0 obj\n<< /Type /XRef " + keys + " /W " + w + " ] /Length " +
         std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream\nendobj\n";
}

}  // namespace

TEST(XRefReader, FindsTheOffsetInFrontOfTheLastEndMarker) {
  const std::string body = "%PDF-1.4\nstartxref\n123";
  struct TCase {
    std::string Text;
    int64_t Expected;
  } cases[] = {
      {body + "\n%%EOF\n", 123},
      {body + " \r\n \n\t%%EOF", 123},                              // white space of any kind between
      {body + "\n%comment\n%%EOF\n", 0},                            // anything else makes it 0
      {body + "\n%%EOF" + std::string(1019, 'x'), 123},             // the marker still in the last 1024 bytes
      {body + "\n%%EOF" + std::string(1020, 'x'), 0},               // one byte more pushes it out
      {"%PDF-1.4\nstartxref\n10\n%%EOF\nstartxref\n20\n%%EOF\n", 20},  // an update: the last marker counts
      {body + "\n", 0},
      {"%%EOF", 0},
  };
  for (const TCase& c : cases) EXPECT_EQ(StartOf(c.Text), c.Expected) << c.Text.substr(0, 60);
}

TEST(XRefReader, ClassicSectionFoundUpToTenBytesEarlyButNeverInsideStartxref) {
  TTestPdf pdf;
  pdf.Obj(1, "(a value long enough to keep the object header out of the window)");
  const int64_t xref = pdf.Table();
  pdf.Trailer("/Size 2", xref);
  const std::string& text = pdf.Text;

  TRead early = ReadAt(text, xref - 10);
  EXPECT_TRUE(early.Ok);
  ASSERT_EQ(early.Entries.size(), 2u);
  EXPECT_EQ(early.Entries[1], TEntry(1, pdf.Offsets[1], 0, 'n'));
  EXPECT_EQ(early.Entries[0], TEntry(0, 0, 65535, 'f'));

  EXPECT_FALSE(ReadAt(text, static_cast<int64_t>(text.find("startxref"))).Ok);
  EXPECT_FALSE(ReadAt(text, 0).Ok);  // the header: neither "xref" nor an object
}

TEST(XRefReader, SubsectionHeaders) {
  const std::string entry = TTestPdf::Entry(0, 65535, 'f');
  // A count of 0 ends the subsections; the trailer is searched from where the header parse stopped.
  TRead zero = ReadAt("xref\n0 0\n" + entry + "trailer\n<< /Size 1 >>\n", 0);
  EXPECT_TRUE(zero.Ok);
  EXPECT_TRUE(zero.Entries.empty());
  ASSERT_EQ(zero.Trailers.size(), 1u);

  // Several subsections, the second starting at object 7.
  TRead two = ReadAt("xref\n0 1\n" + entry + "7 2\n" + TTestPdf::Entry(100, 0, 'n') +
                         TTestPdf::Entry(200, 3, 'n') + "trailer\n<< /Size 9 >>\n",
                     0);
  EXPECT_TRUE(two.Ok);
  EXPECT_EQ(two.Entries, (std::vector<TEntry>{{0, 0, 65535, 'f'}, {7, 100, 0, 'n'}, {8, 200, 3, 'n'}}));

  // A header window with no digit in it ends the whole read.
  EXPECT_FALSE(ReadAt("xref\n                              ", 0).Ok);
}

TEST(XRefReader, TrailerKeywordDirectlyFollowedByDictionary) {
  TTestPdf pdf;
  pdf.Obj(1, "(one)");
  const int64_t xref = pdf.Table();
  pdf.Raw("trailer<< /Size 2 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n");
  TRead read = ReadAll(pdf.Text);
  EXPECT_TRUE(read.Ok);
  ASSERT_EQ(read.Trailers.size(), 1u);
  EXPECT_NE(read.Trailers[0].find("/Root 1 0 R"), std::string::npos);
}

TEST(XRefReader, StreamEntriesFollowIndexAndWidths) {
  // /Index [0 5 10 3]: objects 0..4, then 10..12; a type-7 entry is reported blank and
  // shifts nothing; 4- and 8-byte fields read as big-endian numbers.
  const std::vector<std::vector<uint64_t>> rows = {
      {0, 0, 255}, {1, 15, 0}, {2, 9, 0}, {7, 99, 99}, {1, 70000, 2},
      {1, 20, 0},    {2, 9, 4},  {1, 30, 1}};
  for (const std::vector<int>& widths : {std::vector<int>{1, 2, 1}, {1, 4, 2}, {1, 8, 8}}) {
    const std::string text = XRefStream(5, rows, widths, "/Size 13 /Index [0 5 10 3]");
    TRead read = ReadAt(text, 0);
    ASSERT_TRUE(read.Ok);
    const int64_t wide = widths[1] == 2 ? 70000 & 0xFFFF : 70000;
    EXPECT_EQ(read.Entries, (std::vector<TEntry>{{0, 0, 255, 'f'},
                                                 {1, 15, 0, 'n'},
                                                 {2, 9, 0, 'c'},
                                                 {3, 0, 0, ' '},
                                                 {4, wide, 2, 'n'},
                                                 {10, 20, 0, 'n'},
                                                 {11, 9, 4, 'c'},
                                                 {12, 30, 1, 'n'}}))
        << "widths " << widths[1];
    ASSERT_EQ(read.Trailers.size(), 1u);
  }
}

TEST(XRefReader, StreamFieldDefaultsAndShortData) {
  // Width 0 for the type: every entry is in use; width 0 for field 3: generation 0.
  TRead plain = ReadAt(XRefStream(1, {{0, 40}, {0, 50}}, {0, 2, 0}, "/Size 2"), 0);
  EXPECT_EQ(plain.Entries, (std::vector<TEntry>{{0, 40, 0, 'n'}, {1, 50, 0, 'n'}}));
  // /Index promises five entries, the data holds two: those two are read.
  std::string text = XRefStream(1, {{1, 40, 0}, {1, 50, 0}}, {1, 2, 1}, "/Size 5 /Index [0 5]");
  TRead shortData = ReadAt(text, 0);
  EXPECT_TRUE(shortData.Ok);
  EXPECT_EQ(shortData.Entries.size(), 2u);
  // Not /Type /XRef, or no numeric /Size: nothing is read.
  EXPECT_FALSE(ReadAt(XRefStream(1, {{1, 40, 0}}, {1, 2, 1}, "/Size /Five"), 0).Ok);
}

TEST(XRefReader, PrevZeroEndsAStreamChainButSendsATableToTheFileStart) {
  TRead stream = ReadAt(XRefStream(1, {{1, 40, 0}}, {1, 2, 1}, "/Size 1 /Prev 0"), 0);
  EXPECT_TRUE(stream.Ok);
  TTestPdf pdf;
  pdf.Obj(1, "(one)");
  pdf.Trailer("/Size 2 /Prev 0", pdf.Table());
  EXPECT_FALSE(ReadAll(pdf.Text).Ok);
}

TEST(XRefReader, HybridReportsTableThenStreamThenOlderSections) {
  TTestPdf pdf;
  pdf.Obj(1, "(old)");
  const int64_t older = pdf.Table();
  pdf.Trailer("/Size 2", older);
  const int64_t stream = static_cast<int64_t>(pdf.Text.size());
  pdf.Raw(XRefStream(9, {{2, 7, 0}}, {1, 2, 1}, "/Size 10 /Index [5 1]"));
  const int64_t table = static_cast<int64_t>(pdf.Text.size());
  pdf.Raw("xref\n3 1\n" + TTestPdf::Entry(33, 0, 'n'));
  pdf.Trailer("/Size 10 /XRefStm " + std::to_string(stream) + " /Prev " + std::to_string(older), table);
  TRead read = ReadAll(pdf.Text);
  EXPECT_TRUE(read.Ok);
  EXPECT_EQ(read.Entries, (std::vector<TEntry>{{3, 33, 0, 'n'}, {5, 7, 0, 'c'}, {0, 0, 65535, 'f'},
                                               {1, pdf.Offsets[1], 0, 'n'}}));
  EXPECT_EQ(read.Trailers.size(), 3u);
}

TEST(XRefReader, ChainsThatComeBackStop) {
  // Two classic sections whose /Prev entries name each other: each is read once, and the
  // read ends well.
  TTestPdf pdf;
  pdf.Obj(1, "(one)");
  const int64_t first = static_cast<int64_t>(pdf.Text.size());
  const std::string firstTable = "xref\n1 1\n" + TTestPdf::Entry(pdf.Offsets[1], 0, 'n');
  const std::string firstTrailer = "trailer\n<< /Size 3 /Prev 0000000000 >>\n";
  const int64_t second = first + static_cast<int64_t>(firstTable.size() + firstTrailer.size());
  char prev[16];
  std::snprintf(prev, sizeof prev, "%010lld", static_cast<long long>(second));
  pdf.Raw(firstTable + "trailer\n<< /Size 3 /Prev " + prev + " >>\n");
  pdf.Raw("xref\n2 1\n" + TTestPdf::Entry(5, 0, 'n'));
  pdf.Trailer("/Size 3 /Prev " + std::to_string(first), second);
  TRead loop = ReadAll(pdf.Text);
  EXPECT_TRUE(loop.Ok);
  EXPECT_EQ(loop.Entries, (std::vector<TEntry>{{2, 5, 0, 'n'}, {1, pdf.Offsets[1], 0, 'n'}}));

  // A section that points at itself.
  TTestPdf self;
  self.Obj(1, "(one)");
  const int64_t at = static_cast<int64_t>(self.Text.size());
  self.Raw("xref\n1 1\n" + TTestPdf::Entry(self.Offsets[1], 0, 'n'));
  self.Trailer("/Size 2 /Prev " + std::to_string(at), at);
  EXPECT_TRUE(ReadAll(self.Text).Ok);

  // A section that failed on the /XRefStm path still fails when /Prev reaches it.
  TTestPdf broken;
  broken.Obj(1, "(one)");
  const int64_t table = broken.Table();
  broken.Trailer("/Size 2 /XRefStm 3 /Prev 3", table);
  EXPECT_FALSE(ReadAll(broken.Text).Ok);
}

TEST(XRefReader, MalformedHeaderInsideAnXRefStmSectionEndsTheWholeRead) {
  TTestPdf pdf;
  pdf.Obj(1, "(one)");
  const int64_t bad = static_cast<int64_t>(pdf.Text.size());
  pdf.Raw("xref\n                                  \n");
  const int64_t table = pdf.Table();
  pdf.Trailer("/Size 2 /XRefStm " + std::to_string(bad), table);
  EXPECT_FALSE(ReadAll(pdf.Text).Ok);
}

TEST(XRefReader, EntryBoundStopsReporting) {
  TTestPdf pdf;
  for (int n = 1; n <= 20; ++n) pdf.Obj(n, "null");
  pdf.Trailer("/Size 21", pdf.Table());
  TPDFFileBytes bytes;
  bytes.Assign(pdf.Text);
  TPDFXRefReader reader(bytes);
  int reported = 0;
  reader.OnEntry = [&](int32_t, int64_t, int64_t, char) { ++reported; };
  reader.MaxEntries = 5;
  EXPECT_TRUE(reader.ReadSection(reader.FindStartXRef()));
  EXPECT_EQ(reported, 5);
}
