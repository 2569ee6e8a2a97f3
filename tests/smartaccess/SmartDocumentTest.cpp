#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "TinyPdf.h"
#include "uPDFSmartAccess.h"

namespace {

// A link over bytes it keeps.
struct TLinked {
  explicit TLinked(std::string bytes, const std::string& password = "")
      : Bytes(std::move(bytes)), Link(Bytes.data(), Bytes.size(), password) {}
  std::string Bytes;
  TSmartPDFLink Link;
  TSmartPDFDocument& Doc() { return *Link.Document; }
};

TLinked Fixture(const char* name, const std::string& password = "") {
  return TLinked(testsupport::ReadFile(testsupport::DataPath(name)), password);
}

int32_t PageNumber(TPDFIndRef* ref) { return ref ? ref->ObjNum : 0; }

}  // namespace

TEST(SmartDocument, WalkFindsEveryLeafOfAThreeLevelTree) {
  TLinked tree = Fixture("da_tree.pdf");
  ASSERT_TRUE(tree.Link.Opened);
  TSmartPDFDocument& doc = tree.Doc();
  EXPECT_EQ(doc.CountPages(), 7);
  EXPECT_EQ(tree.Link.InfoObject->TreePageCount, 7);
  // Root kids [Pages(3), Page, Pages(3)]: page 4 is the middle leaf, page 5 the first leaf
  // of the third kid, pages 6 and 7 one level further down.
  const int32_t expected[] = {4, 5, 6, 7, 9, 11, 12};
  for (int n = 1; n <= 7; ++n) EXPECT_EQ(PageNumber(doc.FindPage(n)), expected[n - 1]) << n;
  for (int n : {0, -3, 8, INT32_MAX}) EXPECT_EQ(doc.FindPage(n), nullptr) << n;
  // In order, the sibling step and the full walk give the same pages.
  for (int n = 1; n <= 7; ++n) EXPECT_EQ(PageNumber(doc.FindPageFrom(n)), expected[n - 1]) << n;
}

TEST(SmartDocument, SiblingStepStaysWithinOneParent) {
  TLinked tree = Fixture("da_tree.pdf");
  TSmartPDFDocument& doc = tree.Doc();
  struct {
    int32_t page, sibling;
  } cases[] = {{4, 5}, {5, 6}, {6, 0}, {7, 0} /* next kid is a /Pages node */, {9, 0}, {11, 12}, {12, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(PageNumber(doc.NextSiblingPage(doc.Pool->NewIndRef(c.page, 0))), c.sibling) << c.page;
  }
}

TEST(SmartDocument, MediaBoxIsInheritedAndNormalised) {
  TLinked tree = Fixture("da_tree.pdf");
  TSmartPDFDocument& doc = tree.Doc();
  struct {
    int32_t page;
    double width, height;
  } cases[] = {
      {4, 595, 842},          // from its parent
      {5, 612, 792},          // written [612 792 0 0]
      {6, 595, 842},          // /Rotate 90 does not turn the box
      {7, 200, 300},          // its own
      {9, 100, 200},          // [10 20 110 220]
      {11, 612, 792},         // from the root, two levels up
      {12, 1000.5, 500.25},   // fractions
      {3, 0, 0},              // a /Pages node is no page
      {2, 0, 0},
      {99, 0, 0},             // no such object
  };
  for (const auto& c : cases) {
    TPDFIndRef* ref = doc.Pool->NewIndRef(c.page, 0);
    EXPECT_DOUBLE_EQ(doc.MediaWidth(ref), c.width) << c.page;
    EXPECT_DOUBLE_EQ(doc.MediaHeight(ref), c.height) << c.page;
  }
  // A reference made anywhere else is not a page handle of this document.
  TPDFStructure elsewhere;
  EXPECT_EQ(doc.MediaWidth(elsewhere.NewIndRef(4, 0)), 0);
}

TEST(SmartDocument, OddCatalogsAndBoxes) {
  using tinypdf::Classic;
  struct {
    const char* name;
    std::vector<tinypdf::TObject> objects;
    int32_t count;
    bool pageOne;
    double width;
  } cases[] = {
      {"no /Pages", {{1, "<< /Type /Catalog >>"}}, 1, false, 0},
      {"/Count by reference",
       {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [3 0 R] /Count 4 0 R >>"},
        {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 50 60] >>"}, {4, "1"}},
       1, true, 50},
      {"/Count not a number",
       {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [3 0 R] /Count (x) >>"},
        {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 50 60] >>"}},
       1, true, 50},
      {"box of three numbers",
       tinypdf::OnePage("[0 0 612]"), 1, true, 0},
      {"box of names", tinypdf::OnePage("[/a /b /c /d]"), 1, true, 0},
      {"box by reference",
       {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
        {3, "<< /Type /Page /Parent 2 0 R /MediaBox 4 0 R >>"}, {4, "[0 0 70 80]"}},
       1, true, 70},
      {"no box anywhere",
       {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
        {3, "<< /Type /Page /Parent 2 0 R >>"}},
       1, true, 0},
      {"kid that is no reference",
       {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [<< /Type /Page >>] /Count 1 >>"}},
       1, false, 0},
  };
  for (const auto& c : cases) {
    TLinked linked(Classic(c.objects, "<< /Size 9 /Root 1 0 R >>").Bytes);
    ASSERT_TRUE(linked.Link.Opened) << c.name;
    TSmartPDFDocument& doc = linked.Doc();
    EXPECT_EQ(doc.CountPages(), c.count) << c.name;
    TPDFIndRef* page = doc.FindPage(1);
    EXPECT_EQ(page != nullptr, c.pageOne) << c.name;
    if (page) EXPECT_DOUBLE_EQ(doc.MediaWidth(page), c.width) << c.name;
  }
}

TEST(SmartDocument, LoopingTreesEndWithoutAnAnswer) {
  struct {
    const char* name;
    std::vector<tinypdf::TObject> objects;
  } cases[] = {
      {"root is its own kid",
       {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [2 0 R] /Count 5 >>"}}},
      {"kid names its grandparent",
       {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [3 0 R] /Count 5 >>"},
        {3, "<< /Type /Pages /Kids [2 0 R] /Count 5 >>"}}},
      {"parent chain loops above a page without a box",
       {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
        {3, "<< /Type /Page /Parent 4 0 R >>"}, {4, "<< /Type /Pages /Parent 5 0 R >>"},
        {5, "<< /Type /Pages /Parent 4 0 R >>"}}},
      {"page is its own parent",
       {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
        {3, "<< /Type /Page /Parent 3 0 R >>"}}},
  };
  for (const auto& c : cases) {
    TLinked linked(tinypdf::Classic(c.objects, "<< /Size 6 /Root 1 0 R >>").Bytes);
    ASSERT_TRUE(linked.Link.Opened) << c.name;
    TSmartPDFDocument& doc = linked.Doc();
    for (int n = 1; n <= 5; ++n) {
      TPDFIndRef* page = doc.FindPageFrom(n);
      if (page) EXPECT_EQ(doc.MediaWidth(page), 0) << c.name;
    }
  }
}

TEST(SmartDocument, EncryptedCatalogInAnObjectStreamOpensWithItsPassword) {
  // The object stream holding the catalog can only be decrypted once the password is known.
  for (const char* password : {"user", "owner"}) {
    TLinked linked = Fixture("da_rc4_128_objstm.pdf", password);
    ASSERT_TRUE(linked.Link.Opened) << password;
    EXPECT_EQ(linked.Doc().CountPages(), 7) << password;
    EXPECT_EQ(linked.Link.InfoObject->EncryptionState, TSmartPDFInfo::kStandard);
  }
  EXPECT_FALSE(Fixture("da_rc4_128_objstm.pdf", "").Link.Opened);
}

TEST(SmartDocument, EncryptionStatesOfOddDictionaries) {
  struct {
    const char* encrypt;
    uint8_t state;
    int32_t length;  // of the record; 0 when it stays empty
  } cases[] = {
      {"<< /Filter /Standard /V 4 /R 4 /Length 128 /O <00> /U <00> /P -4 >>", 1, 0},
      {"<< /Filter /Standard /R 2 /O <00> /U <00> /P -4 >>", 2, 0},
      {"<< /Filter /Other /V 1 /R 2 /O <00> /U <00> /P -4 >>", 1, 0},
      {"<< /Filter /Standard /V 0 /R 2 >>", 2, 0},
      {"<< /Filter /Standard /V 2 /R 3 /Length 128 /O <00> /U <00> /P -4 >>", 1, 128},
  };
  for (const auto& c : cases) {
    std::vector<tinypdf::TObject> objects = tinypdf::OnePage();
    objects.push_back({4, c.encrypt});
    std::string bytes = tinypdf::Classic(objects, "<< /Size 5 /Root 1 0 R /Encrypt 4 0 R /ID [(a) (a)] >>").Bytes;
    platform::TMemorySource source(bytes.data(), bytes.size());
    TSmartPDFReader reader(source);
    ASSERT_EQ(reader.Status, 0);
    EXPECT_TRUE(reader.HasEncryptEntry);
    TSmartPDFInfo info(reader);
    EXPECT_EQ(info.EncryptionState, c.state) << c.encrypt;
    EXPECT_EQ(info.Encryption.Length, c.length) << c.encrypt;
    // Unsupported methods accept no password.
    if (c.length == 0) EXPECT_FALSE(info.CheckPassword("")) << c.encrypt;
  }
}
