// The recovery scan: every object head and trailer keyword once, in file order, the newest
// definition of a number, the kinds it tells apart, and heads that straddle its reads.
#include <gtest/gtest.h>

#include <string>

#include "uPDFFileScan.h"

namespace {

TPDFFileScan ScanOf(const std::string& bytes) {
  platform::TMemorySource source(bytes.data(), bytes.size());
  return TPDFFileScan(source);
}

TEST(FileScan, FindsHeadsTrailersAndKinds) {
  const std::string text =
      "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n2 0 obj << /Type /Pages >> endobj\n"
      "3 0 obj\n<< /Type /XRef /W [1 2 1] >>\nstream\nxx\nendstream\nendobj\n"
      "4 0 obj<</Type/ObjStm/N 1>>stream\nendstream endobj\n"
      "(5 0 obj inside a string is still a head) endobj12 0 obj no head: glued to endobj\n"
      "2 1 obj (newer two) endobj\ntrailer\n<< /Root 1 0 R >>\nstartxref\n0\n%%EOF\n";
  const TPDFFileScan scan = ScanOf(text);
  ASSERT_EQ(scan.Objects().size(), 6u);
  EXPECT_EQ(scan.Objects()[0].Kind, TPDFFileScan::kCatalog);
  EXPECT_EQ(scan.Objects()[1].Kind, TPDFFileScan::kPlain);
  EXPECT_EQ(scan.Objects()[2].Kind, TPDFFileScan::kXRefStream);
  EXPECT_EQ(scan.Objects()[3].Kind, TPDFFileScan::kObjectStream);
  EXPECT_EQ(scan.Objects()[4].Num, 5);
  ASSERT_NE(scan.Find(2), nullptr);
  EXPECT_EQ(scan.Find(2)->Gen, 1);  // the last definition wins
  EXPECT_EQ(text.substr(static_cast<size_t>(scan.Find(2)->Offset), 7), "2 1 obj");
  EXPECT_EQ(scan.Find(12), nullptr);
  ASSERT_EQ(scan.Trailers().size(), 1u);
  EXPECT_EQ(text.substr(static_cast<size_t>(scan.Trailers()[0]), 7), "trailer");
  EXPECT_EQ(scan.NextObjectAfter(scan.Find(1)->Offset), scan.Objects()[1].Offset);
  EXPECT_EQ(scan.NextObjectAfter(scan.Find(2)->Offset), static_cast<int64_t>(text.size()));
  ASSERT_EQ(scan.TrailerSources().size(), 2u);
  EXPECT_FALSE(scan.TrailerSources()[0].IsStream);  // the trailer is newer than stream 3
  EXPECT_EQ(scan.CatalogsNewestFirst().size(), 1u);
}

TEST(FileScan, HeadsAcrossTheScansReadsAreFoundOnce) {
  // Heads placed so that one of them starts, ends or has its "obj" at every spot around the
  // boundary of the scan's first read (4 MiB).
  constexpr size_t kRead = size_t{4} << 20;
  for (size_t shift = 0; shift < 24; ++shift) {
    std::string text = "%PDF-1.4\n";
    text += std::string(kRead - 12 - text.size() + shift, ' ');
    const size_t head = text.size();
    text += "123 0 obj (x) endobj\n124 0 obj << /Type /Catalog >> endobj\n";
    const TPDFFileScan scan = ScanOf(text);
    ASSERT_EQ(scan.Objects().size(), 2u) << shift;
    EXPECT_EQ(scan.Objects()[0].Offset, static_cast<int64_t>(head)) << shift;
    EXPECT_EQ(scan.Objects()[1].Kind, TPDFFileScan::kCatalog) << shift;
  }
}

}  // namespace
