// The document writer: table shape, objects copied from the loaded file, objects from object
// streams, the trailer, and the swap file used while encrypting.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "DocTestPdf.h"
#include "TestSupport.h"
#include "uPDFDocument.h"

using doctest_pdf::Load;
using doctest_pdf::MakePdf;

namespace {

size_t Count(const std::string& text, const std::regex& pattern) {
  return static_cast<size_t>(std::distance(std::sregex_iterator(text.begin(), text.end(), pattern), std::sregex_iterator()));
}

}  // namespace

TEST(Writer, TableCoversEveryNumberUpToTheHighest) {
  auto doc = Load(MakePdf({{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                           {2, "<< /Type /Pages /Count 0 /Kids [] >>"},
                           {5, "(five)"}}));
  ASSERT_NE(doc, nullptr);
  const std::string out = doc->SaveToString();
  const size_t xref = out.rfind("\nxref\n") + 1;
  ASSERT_NE(xref, 0u);
  const std::string table = out.substr(xref, out.find("trailer", xref) - xref);
  EXPECT_EQ(table.substr(0, 9), "xref\n0 6\n");
  EXPECT_EQ(table.size(), 9 + 6 * 20u);
  EXPECT_EQ(table.substr(9, 20), "0000000000 65535 f \n");
  // Numbers without an object are free; the others point at their "n 0 obj".
  EXPECT_EQ(table.substr(9 + 3 * 20, 20), "0000000000 00000 f \n");
  EXPECT_EQ(table.substr(9 + 4 * 20, 20), "0000000000 00000 f \n");
  const int64_t five = std::stoll(table.substr(9 + 5 * 20, 10));
  EXPECT_EQ(out.substr(static_cast<size_t>(five), 7), "5 0 obj");
  EXPECT_NE(out.find("/Size 6"), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 6), "%%EOF\n");
  // Never-loaded objects are copied as they were, and the result loads again.
  EXPECT_NE(out.find("5 0 obj\n(five)\nendobj\n"), std::string::npos);
  EXPECT_NE(Load(out), nullptr);
}

TEST(Writer, ObjectStreamsAndHybridTrailers) {
  for (const char* name : {"da_objstm.pdf", "doc_hybrid.pdf", "da_hybrid.pdf", "doc_xrefstream.pdf"}) {
    SCOPED_TRACE(name);
    TPDFDocument doc;
    ASSERT_TRUE(doc.LoadFromString(testsupport::ReadFile(testsupport::DataPath(name))));
    const std::string out = doc.SaveToString();
    // Every object written ends with "endobj", objects taken from object streams included.
    EXPECT_EQ(Count(out, std::regex("\\d+ \\d+ obj\\s")), Count(out, std::regex("endobj")));
    const std::string trailer = out.substr(out.rfind("trailer"));
    EXPECT_EQ(trailer.find("/XRefStm"), std::string::npos);
    EXPECT_EQ(trailer.find("/Prev"), std::string::npos);
    TPDFDocument again;
    ASSERT_TRUE(again.LoadFromString(out));
    EXPECT_EQ(again.PageTree->GetPageCount(), doc.PageTree->GetPageCount());
  }
}

TEST(Writer, SwapFileHoldsLongObjectsWhileEncrypting) {
  const std::string dir = testsupport::TempDir("writer_swap");
  const std::string swap = dir + "/swap.bin";
  const std::string longText = "(" + std::string(3000, 'x') + ")";
  TPDFDocument doc;
  ASSERT_TRUE(doc.LoadFromString(MakePdf({{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                                          {2, "<< /Type /Pages /Count 0 /Kids [] >>"},
                                          {3, longText},
                                          {4, "(short)"},
                                          {5, longText}})));
  ASSERT_TRUE(doc.SetSwapFile(swap));
  ASSERT_TRUE(doc.EncryptDocument("owner", "user", true, 15, 15));
  // Long objects are records of the swap file, short ones stay in memory; both read back
  // whatever the order asked.
  EXPECT_TRUE(doc.FindObject(5, 0)->InTempFile);
  EXPECT_TRUE(doc.FindObject(3, 0)->InTempFile);
  EXPECT_FALSE(doc.FindObject(4, 0)->InTempFile);
  EXPECT_EQ(doc.ReadSwapRecord(5).substr(0, 8), "5 0 obj\n");
  EXPECT_EQ(doc.ReadSwapRecord(3).substr(0, 8), "3 0 obj\n");
  EXPECT_EQ(doc.ReadSwapRecord(4), "");
  EXPECT_GT(std::filesystem::file_size(swap), 6000u);

  const std::string out = doc.SaveToString();
  ASSERT_TRUE(doc.LoadFromString(out));
  EXPECT_FALSE(std::filesystem::exists(swap));  // the reload deletes it
  EXPECT_EQ(doc.SecurityKind(), 1);
  doc.RememberPassword("user");
  ASSERT_FALSE(doc.StoredPassword.empty());
  TPDFIndObj* three = doc.FindObject(3, 0);
  doc.DecryptObject(three);
  ASSERT_NE(As<TPDFString>(three->Value), nullptr);
  EXPECT_EQ(As<TPDFString>(three->Value)->Value, std::string(3000, 'x'));
}
