#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestSupport.h"
#include "TinyPdf.h"
#include "uPDFSmartAccess.h"

namespace {

// A reader over bytes held by the fixture object.
struct TOpened {
  explicit TOpened(std::string bytes, bool allowRepair = true)
      : Bytes(std::move(bytes)),
        Source(Bytes.data(), Bytes.size()),
        Reader(std::make_unique<TSmartPDFReader>(Source, allowRepair)) {}
  std::string Bytes;
  platform::TMemorySource Source;
  std::unique_ptr<TSmartPDFReader> Reader;
};

std::string Text(TPDFObject* object) { return object ? object->ToText() : std::string("<none>"); }

// The text as this library prints it, so expectations can be written as plain PDF text.
std::string Printed(const std::string& text) {
  TPDFStructure pool;
  return Text(pool.Parse(text));
}

const std::string kTrailer = "<< /Size 4 /Root 1 0 R >>";

}  // namespace

TEST(SmartReader, HeaderGivesVersionOrStatus1) {
  struct {
    std::string header;
    uint8_t status;
    std::string version;
  } cases[] = {
      {"%PDF-1.4\n", 0, "1.4"},
      {"%!PS-Adobe-3.0 PDF-1.3\n", 0, "1.3"},
      {"garbage first\n%PDF-1.7\n", 0, "1.7"},
      {"%PDF-\n", 1, ""},
      {"%PDF-x.y\n", 1, ""},
      {"%PDF-1.2.3\n", 1, ""},
      {"%!PS-Adobe-3.0 no version here\n", 1, ""},
      {"%!PS-Adobe-3.0 PDF-1.3\n%PDF-\n", 1, ""},  // both markers: the PDF one alone decides
      {"hello\n", 1, ""},
  };
  for (const auto& c : cases) {
    TOpened opened(tinypdf::Classic(tinypdf::OnePage(), kTrailer, c.header).Bytes);
    EXPECT_EQ(opened.Reader->Status, c.status) << c.header;
    if (c.status == 0) { EXPECT_EQ(opened.Reader->Version, c.version) << c.header; }
  }
}

TEST(SmartReader, DamagedEndOfFileGivesStatus2) {
  const std::string good = tinypdf::Classic(tinypdf::OnePage(), kTrailer).Bytes;
  const size_t startxref = good.rfind("startxref");
  std::string wrongOffset = good.substr(0, startxref) + "startxref\n7\n%%EOF\n";
  std::string hugeOffset = good.substr(0, startxref) + "startxref\n99999999999999999999999\n%%EOF\n";
  struct {
    const char* name;
    std::string bytes;
    uint8_t status;
  } cases[] = {
      {"intact", good, 0},
      {"short garbage after %%EOF", good + std::string(600, 'x'), 0},
      {"%%EOF too far from the end", good + std::string(1100, 'x'), 2},
      {"no %%EOF", good.substr(0, good.size() - 6), 2},
      {"truncated in the table", good.substr(0, good.find("trailer")) + "\nstartxref\n" +
                                     good.substr(startxref + 10), 2},
      {"cut in half", good.substr(0, good.size() / 2), 2},
      {"startxref 0", good.substr(0, startxref) + "startxref\n0\n%%EOF\n", 2},
      {"startxref into an object", wrongOffset, 2},
      {"startxref past the end", hugeOffset, 2},
      {"no startxref keyword", good.substr(0, startxref) + "\n123\n%%EOF\n", 2},
      {"empty", "", 1},
      {"header only", "%PDF-1.4\n", 2},
  };
  for (const auto& c : cases) {
    // Read strictly, a damaged end gives status 2; with repair, the scan of the file finds the
    // objects of every case that still holds some, and its catalog.
    TOpened strict(c.bytes, false);
    EXPECT_EQ(strict.Reader->Status, c.status) << c.name;
    TOpened repaired(c.bytes);
    const bool holdsObjects = c.bytes.find("1 0 obj") != std::string::npos;
    EXPECT_EQ(repaired.Reader->Status, holdsObjects ? 0 : c.status) << c.name;
    EXPECT_EQ(repaired.Reader->Repaired, holdsObjects && c.status != 0) << c.name;
    if (holdsObjects) {
      TPDFStructure pool;
      EXPECT_NE(As<TPDFDictionary>(repaired.Reader->TrailerDictionary("Root")), nullptr) << c.name;
    }
    if (c.status != 0) EXPECT_FALSE(repaired.Reader->Warnings.empty()) << c.name;
  }
}

TEST(SmartReader, NewestSectionWinsAndFreeEntriesHideOlderOnes) {
  tinypdf::TFile file = tinypdf::Classic(
      {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [] /Count 0 >>"},
       {4, "(old four)"}, {5, "(old five)"}},
      "<< /Size 6 /Root 1 0 R >>");
  int64_t first = file.XRef;
  file.Offsets.clear();
  tinypdf::AppendObjects(file, {{4, "(new four)"}});
  tinypdf::AppendClassicSection(file, {0, 4, 5}, "<< /Size 6 /Root 1 0 R /Prev " + std::to_string(first) + " >>");
  tinypdf::AppendEnd(file, file.XRef);
  TOpened opened(file.Bytes);
  TSmartPDFReader& reader = *opened.Reader;
  ASSERT_EQ(reader.Status, 0);
  EXPECT_EQ(Text(reader.FetchObject(4)), Printed("(new four)"));
  EXPECT_EQ(reader.FetchObject(5), nullptr);
  EXPECT_EQ(Text(reader.FetchObject(1)), Printed("<</Type/Catalog/Pages 2 0 R>>"));
  EXPECT_EQ(reader.Trailers.size(), 2u);
  EXPECT_EQ(reader.MaxObjectNumber(), 5);
}

TEST(SmartReader, DamagedOlderSectionFailsTheWholeFile) {
  tinypdf::TFile file = tinypdf::Classic(tinypdf::OnePage(), kTrailer + " ");
  file.Offsets.clear();
  tinypdf::AppendClassicSection(file, {0}, "<< /Size 4 /Root 1 0 R /Prev 30 >>");
  tinypdf::AppendEnd(file, file.XRef);
  EXPECT_EQ(TOpened(file.Bytes, false).Reader->Status, 2);
  // /Prev 0 names no section either.
  const std::string prevZero = tinypdf::Classic(tinypdf::OnePage(), "<< /Size 4 /Root 1 0 R /Prev 0 >>").Bytes;
  EXPECT_EQ(TOpened(prevZero, false).Reader->Status, 2);
  // Repaired, both read in full from a scan of their objects.
  for (const std::string& bytes : {file.Bytes, prevZero}) {
    TOpened repaired(bytes);
    EXPECT_EQ(repaired.Reader->Status, 0);
    EXPECT_TRUE(repaired.Reader->Repaired);
    EXPECT_EQ(repaired.Reader->MaxObjectNumber(), 3);
  }
}

TEST(SmartReader, PrevLoopsEndAtASectionAlreadyRead) {
  // Two sections that name each other, and one that names itself.
  tinypdf::TFile file;
  file.Bytes = "%PDF-1.4\n";
  tinypdf::AppendObjects(file, tinypdf::OnePage());
  const int64_t firstAt = static_cast<int64_t>(file.Bytes.size());
  const std::string pad = "          ";  // room for the second section's offset, filled in below
  tinypdf::AppendClassicSection(file, {0, 1, 2, 3}, "<< /Size 4 /Root 1 0 R /Prev " + pad + " >>");
  file.Offsets.clear();
  tinypdf::AppendClassicSection(file, {0}, "<< /Size 4 /Root 1 0 R /Prev " + std::to_string(firstAt) + " >>");
  const int64_t secondAt = file.XRef;
  std::string secondText = std::to_string(secondAt);
  file.Bytes.replace(file.Bytes.find(pad), secondText.size(), secondText);
  tinypdf::AppendEnd(file, secondAt);
  TOpened looped(file.Bytes);
  EXPECT_EQ(looped.Reader->Status, 0);
  EXPECT_EQ(looped.Reader->Trailers.size(), 2u);
  EXPECT_NE(looped.Reader->FetchObject(3), nullptr);

  tinypdf::TFile self;
  self.Bytes = "%PDF-1.4\n";
  tinypdf::AppendObjects(self, tinypdf::OnePage());
  const int64_t at = static_cast<int64_t>(self.Bytes.size());
  tinypdf::AppendClassicSection(self, {0, 1, 2, 3}, "<< /Size 4 /Root 1 0 R /Prev " + std::to_string(at) + " >>");
  tinypdf::AppendEnd(self, at);
  EXPECT_EQ(TOpened(self.Bytes).Reader->Status, 0);
}

TEST(SmartReader, CrossReferenceStreamsOfEveryFieldWidth) {
  // Field widths from 1 to 8 bytes, with and without /Index.
  struct {
    std::array<int, 3> w;
    std::string index;  // text of /Index, or empty
  } cases[] = {
      {{1, 2, 1}, ""}, {{1, 3, 1}, ""}, {{1, 4, 2}, ""}, {{2, 5, 2}, ""}, {{1, 8, 1}, ""},
      {{1, 2, 1}, "[0 4 9 1]"}, {{0, 4, 1}, ""},
  };
  for (const auto& c : cases) {
    tinypdf::TFile file;
    file.Bytes = "%PDF-1.5\n";
    tinypdf::AppendObjects(file, tinypdf::OnePage());
    tinypdf::AppendObjects(file, {{9, "(nine)"}});
    std::vector<std::array<uint64_t, 3>> rows;
    if (c.w[0] != 0) rows.push_back({0, 0, 255});
    for (int n : {1, 2, 3}) rows.push_back({1, static_cast<uint64_t>(file.Offsets[n]), 0});
    if (c.index.empty()) {
      for (int n = 4; n < 9; ++n) rows.push_back({0, 0, 0});
    }
    if (c.w[0] != 0) rows.push_back({1, static_cast<uint64_t>(file.Offsets[9]), 0});
    std::string extra = "/Root 1 0 R /Size 10";
    if (!c.index.empty()) extra += " /Index " + c.index;
    if (c.w[0] == 0) extra = "/Root 1 0 R /Size 4 /Index [1 3]";  // type 1 implied
    tinypdf::AppendXRefStream(file, 10, rows, c.w, extra);
    TOpened opened(file.Bytes);
    SCOPED_TRACE(c.w[0] * 100 + c.w[1] * 10 + c.w[2]);
    ASSERT_EQ(opened.Reader->Status, 0);
    EXPECT_EQ(Text(opened.Reader->FetchObject(3)), Printed("<</Type/Page/Parent 2 0 R/MediaBox[0 0 612 792]>>"));
    if (c.w[0] != 0) { EXPECT_EQ(Text(opened.Reader->FetchObject(9)), Printed("(nine)")); }
  }
}

// A lone CR after "stream" ends the keyword's line, for a cross-reference stream as for any
// other stream: its data begin right after the CR.
TEST(SmartReader, CrossReferenceStreamDataAfterALoneCR) {
  tinypdf::TFile file;
  file.Bytes = "%PDF-1.5\n";
  tinypdf::AppendObjects(file, tinypdf::OnePage());
  std::vector<std::array<uint64_t, 3>> rows = {{0, 0, 255}};
  for (int n : {1, 2, 3}) rows.push_back({1, static_cast<uint64_t>(file.Offsets[n]), 0});
  tinypdf::AppendXRefStream(file, 4, rows, {1, 2, 1}, "/Root 1 0 R /Size 4");
  const size_t keyword = file.Bytes.rfind(">>\nstream\n");
  ASSERT_NE(keyword, std::string::npos);
  file.Bytes[keyword + 9] = '\r';
  TOpened opened(file.Bytes);
  ASSERT_EQ(opened.Reader->Status, 0);
  EXPECT_EQ(Text(opened.Reader->FetchObject(3)), Printed("<</Type/Page/Parent 2 0 R/MediaBox[0 0 612 792]>>"));
}

TEST(SmartReader, ObjectStreamMembersAndTheirFaults) {
  // Object stream 5 holds 3 and 4; then stream 6 holds 7 with its offsets outside the data,
  // stream 8 claims a number that is not the one asked for, and 11 lists itself as its own stream.
  auto objstm = [](int num, const std::string& head, const std::string& body, int n) {
    return tinypdf::TObject{num, "<< /Type /ObjStm /N " + std::to_string(n) + " /First " +
                                     std::to_string(head.size()) + " /Length " +
                                     std::to_string(head.size() + body.size()) + " >>\nstream\n" + head + body +
                                     "\nendstream"};
  };
  tinypdf::TFile file;
  file.Bytes = "%PDF-1.5\n";
  tinypdf::AppendObjects(file, {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                                {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
                                objstm(5, "3 0 4 60 ", "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 20] >>       (four)", 2),
                                objstm(6, "7 500 ", "(seven)", 1),
                                objstm(8, "12 0 ", "(twelve)", 1)});
  std::vector<std::array<uint64_t, 3>> rows = {
      {0, 0, 255}, {1, (uint64_t)file.Offsets[1], 0}, {1, (uint64_t)file.Offsets[2], 0}, {2, 5, 0}, {2, 5, 1},
      {1, (uint64_t)file.Offsets[5], 0}, {1, (uint64_t)file.Offsets[6], 0}, {2, 6, 0}, {1, (uint64_t)file.Offsets[8], 0},
      {2, 8, 0}, {2, 5, 7}, {2, 11, 0}};
  tinypdf::AppendXRefStream(file, 12, rows, {1, 2, 1}, "/Root 1 0 R /Size 12");
  TOpened opened(file.Bytes);
  TSmartPDFReader& reader = *opened.Reader;
  ASSERT_EQ(reader.Status, 0);
  EXPECT_TRUE(reader.IsCompressed(4));
  EXPECT_EQ(reader.GetGeneration(4), 1);  // its index in the stream
  EXPECT_EQ(Text(reader.FetchObject(3)), Printed("<</Type/Page/Parent 2 0 R/MediaBox[0 0 10 20]>>"));
  EXPECT_EQ(Text(reader.FetchObject(4)), Printed("(four)"));
  EXPECT_EQ(reader.FetchObject(7), nullptr);   // offset outside the data
  EXPECT_EQ(reader.FetchObject(9), nullptr);   // the stream holds 12 at that index
  EXPECT_EQ(reader.FetchObject(10), nullptr);  // index beyond /N
  EXPECT_EQ(reader.FetchObject(11), nullptr);  // its own object stream
  // The decoded stream is kept, without its /Filter.
  ASSERT_EQ(reader.ObjStmCache.count(5), 1u);
  EXPECT_EQ(reader.ObjStmCache[5]->Dictionary->IndexOf("Filter"), -1);
}

TEST(SmartReader, StreamDataStartAndLength) {
  struct {
    const char* name;
    std::string body;
    std::string data;  // "<dict>" when the object is its dictionary alone
  } cases[] = {
      {"LF", "<< /Length 3 >>\nstream\nabc\nendstream", "abc"},
      {"CR LF", "<< /Length 3 >>\nstream\r\nabc\nendstream", "abc"},
      {"lone CR", "<< /Length 3 >>\nstream\rabc\nendstream", "abc"},
      {"no line end", "<< /Length 3 >>\nstream abc\nendstream", " abc\n"},  // data right after the keyword
      {"blanks before the line end", "<< /Length 3 >>\nstream  \r\nabc\nendstream", "abc"},
      {"no /Length", "<< >>\nstream\nabc\nendstream", "abc\n"},  // up to endstream
      {"negative /Length", "<< /Length -4 >>\nstream\nabc\r\nendstream", "abc\r\n"},
      {"/Length too short", "<< /Length 2 >>\nstream\nabc\nendstream", "abc\n"},
      {"/Length by reference, wrong", "<< /Length 4 0 R >>\nstream\nabcdef\nendstream", "abcdef\n"},
      {"/Length by reference", "<< /Length 4 0 R >>\nstream\nabcde\nendstream", "abcde"},
      {"/Length past the text", "<< /Length 300 >>\nstream\nabc\nendstream", "abc\n"},
      {"no endstream", "<< /Length 3 >>\nstream\nabc", "abc"},
      {"a name holding 'stream'", "<< /S /application#2Foctet-stream /Length 2 >>\nstream\nxy\nendstream", "xy"},
      {"comment after the dictionary", "<< /Length 2 >> % c\n stream\nxy\nendstream", "xy"},
      {"no keyword", "<< /A (stream) >>", "<dict>"},
  };
  for (const auto& c : cases) {
    TOpened opened(tinypdf::Classic({{1, "<< /Type /Catalog >>"}, {3, c.body}, {4, "5"}},
                                    "<< /Size 5 /Root 1 0 R >>").Bytes);
    ASSERT_EQ(opened.Reader->Status, 0) << c.name;
    TPDFStructure pool;
    TPDFObject* object = opened.Reader->FetchObject(3, &pool);
    if (c.data == "<dict>") {
      EXPECT_NE(As<TPDFDictionary>(object), nullptr) << c.name;
    } else {
      ASSERT_NE(As<TPDFStream>(object), nullptr) << c.name;
      EXPECT_EQ(As<TPDFStream>(object)->Data, c.data) << c.name;
    }
  }
}

TEST(SmartReader, ObjectsLongerThanFiveMiBAreReadWhole) {
  std::string big(6 * 1024 * 1024 + 17, 'z');
  TOpened opened(tinypdf::Classic({{1, "<< /Type /Catalog >>"},
                                   {2, "<< /Length " + std::to_string(big.size()) + " >>\nstream\n" + big +
                                           "\nendstream"},
                                   {3, "(after)"}},
                                  "<< /Size 4 /Root 1 0 R >>").Bytes);
  ASSERT_EQ(opened.Reader->Status, 0);
  TPDFStructure pool;
  TPDFStream* stream = As<TPDFStream>(opened.Reader->FetchObject(2, &pool));
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->Data.size(), big.size());
  EXPECT_EQ(Text(opened.Reader->FetchObject(3, &pool)), Printed("(after)"));
}

TEST(SmartReader, FetchesOutsideTheTableGiveNone) {
  TOpened opened(tinypdf::Classic(tinypdf::OnePage(), kTrailer).Bytes);
  TSmartPDFReader& reader = *opened.Reader;
  for (int32_t n : {-1, 0, 4, 1000000, INT32_MAX}) {
    EXPECT_EQ(reader.FetchObject(n), nullptr) << n;
    EXPECT_EQ(reader.GetGeneration(n), 0) << n;
    EXPECT_FALSE(reader.IsCompressed(n)) << n;
  }
}

TEST(SmartReader, HugeSubsectionNumbersDoNotGrowTheTable) {
  tinypdf::TFile file = tinypdf::Classic(tinypdf::OnePage(), kTrailer);
  file.Bytes.replace(file.Bytes.find("xref\n0 4"), 8, "xref\n2147483000 4");
  TOpened opened(file.Bytes);
  EXPECT_LE(opened.Reader->MaxObjectNumber(), TSmartPDFReader::kMaxObjectNumber);
}

TEST(SmartReader, TrailerLookUpsReachOlderTrailers) {
  tinypdf::TFile file = tinypdf::Classic(
      {{1, "<< /Type /Catalog >>"}, {2, "<< /Title (t) >>"}}, "<< /Size 3 /Root 1 0 R /Info 2 0 R /ID [(a) (b)] >>");
  int64_t first = file.XRef;
  file.Offsets.clear();
  tinypdf::AppendClassicSection(file, {0}, "<< /Size 3 /Prev " + std::to_string(first) + " >>");
  tinypdf::AppendEnd(file, file.XRef);
  TOpened opened(file.Bytes);
  TSmartPDFReader& reader = *opened.Reader;
  ASSERT_EQ(reader.Status, 0);
  ASSERT_NE(reader.TrailerReference("Info"), nullptr);
  EXPECT_EQ(reader.TrailerReference("Info")->ObjNum, 2);
  EXPECT_EQ(Text(reader.TrailerDictionary("Info")), Printed("<</Title(t)>>"));
  EXPECT_EQ(reader.TrailerDictionary("Size"), nullptr);  // not a dictionary

  platform::TClock fixed;
  fixed.LocalNow = [] { return platform::TDateTime{2024, 1, 2, 3, 4, 5, 0}; };
  fixed.TickMilliseconds = [] { return uint64_t{42}; };
  platform::TClock old = platform::SetClock(fixed);
  int newIDs = 0;
  reader.OnNewID = [&](TSmartPDFReader&) { ++newIDs; };
  reader.PrepareTrailer();
  platform::SetClock(old);
  // Newest trailer had no /ID: both elements are one new 32-digit identifier in hex form.
  std::string text = reader.Trailer->ToText();
  EXPECT_EQ(text.find("/Prev"), std::string::npos);
  EXPECT_NE(text.find("/Size 3"), std::string::npos);
  EXPECT_NE(text.find("/Info 2 0 R"), std::string::npos);
  EXPECT_NE(text.find("/Root 1 0 R"), std::string::npos);
  const TPDFArray* ids = As<TPDFArray>(reader.Trailer->GetValue("ID"));
  ASSERT_NE(ids, nullptr);
  ASSERT_EQ(ids->Count(), 2);
  EXPECT_EQ(ids->GetItem(0), ids->GetItem(1));
  EXPECT_EQ(As<TPDFString>(ids->GetItem(0))->Value.size(), 32u);
  EXPECT_EQ(As<TPDFString>(ids->GetItem(0))->IsHex, 1);
  EXPECT_EQ(newIDs, 1);
}

TEST(SmartReader, PrepareTrailerKeepsTheFirstIdentifier) {
  TOpened good(tinypdf::Classic(tinypdf::OnePage(), "<< /Size 4 /Root 1 0 R /ID [(first) (second)] >>").Bytes);
  int newIDs = 0;
  good.Reader->OnNewID = [&](TSmartPDFReader&) { ++newIDs; };
  good.Reader->PrepareTrailer();
  const TPDFArray* ids = As<TPDFArray>(good.Reader->Trailer->GetValue("ID"));
  ASSERT_NE(ids, nullptr);
  EXPECT_EQ(As<TPDFString>(ids->GetItem(0))->Value, "first");
  EXPECT_EQ(As<TPDFString>(ids->GetItem(1))->Value.size(), 32u);
  EXPECT_EQ(newIDs, 0);
}

TEST(SmartReader, FixturesOpenWithTheirVersions) {
  struct {
    const char* file;
    const char* version;
    int32_t maxObject;
  } cases[] = {
      {"da_classic.pdf", "1.4", 7}, {"da_tree.pdf", "1.4", 12},  {"da_update.pdf", "1.4", 8},
      {"da_hybrid.pdf", "1.4", 6},  {"da_wide.pdf", "1.5", 4},   {"da_objstm.pdf", "1.5", -1},
      {"da_linearized.pdf", "1.4", -1},
  };
  for (const auto& c : cases) {
    TOpened opened(testsupport::ReadFile(testsupport::DataPath(c.file)));
    ASSERT_EQ(opened.Reader->Status, 0) << c.file;
    EXPECT_EQ(opened.Reader->Version, c.version) << c.file;
    if (c.maxObject >= 0) { EXPECT_EQ(opened.Reader->MaxObjectNumber(), c.maxObject) << c.file; }
  }
}

TEST(SmartReader, HybridFileTakesTheObjectsOnlyItsStreamLists) {
  TOpened opened(testsupport::ReadFile(testsupport::DataPath("da_hybrid.pdf")));
  TSmartPDFReader& reader = *opened.Reader;
  ASSERT_EQ(reader.Status, 0);
  // The classic table leaves 3 and 4 out; the /XRefStm stream has them in object stream 5.
  EXPECT_TRUE(reader.IsCompressed(3));
  EXPECT_EQ(Text(reader.FetchObject(4)), Printed("<</Type/Page/Parent 2 0 R/MediaBox[0 0 420 595]>>"));
  EXPECT_EQ(reader.Trailers.size(), 1u);  // the stream adds entries, not a trailer
}

TEST(SmartReader, UpdateChangesAndFreesObjects) {
  TOpened opened(testsupport::ReadFile(testsupport::DataPath("da_update.pdf")));
  TSmartPDFReader& reader = *opened.Reader;
  ASSERT_EQ(reader.Status, 0);
  EXPECT_EQ(reader.FetchObject(7), nullptr);
  EXPECT_EQ(Text(reader.FetchObject(4)), Printed("<</Type/Page/Parent 2 0 R/MediaBox[0 0 300 400]>>"));
  EXPECT_EQ(Text(reader.TrailerDictionary("Info")), Printed("<</Title(Updated)>>"));
}
