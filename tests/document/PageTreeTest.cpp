// The page tree: page lookup through /Kids, media boxes up /Parent, the content streams a
// selected page is prepared with, and trees that loop.
#include <gtest/gtest.h>

#include "DocTestPdf.h"
#include "uPDFFlate.h"

using doctest_pdf::Load;
using doctest_pdf::MakePdf;

namespace {

const std::string kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";

std::string Text(TPDFObject* value) { return value ? value->ToText() : "<none>"; }

int32_t ObjNumOf(TPDFDocument& doc, TPDFDictionary* dict) {
  for (TPDFIndObj* object : doc.Objects)
    if (object->Loaded && object->Value == dict) return object->ObjNum;
  return 0;
}

}  // namespace

TEST(PageTree, LookupWalksKidsCountingPages) {
  // Root /Kids [A B]: A holds pages 4 and 5, B is page 6.
  auto doc = Load(MakePdf({{1, kCatalog},
                           {2, "<< /Type /Pages /Count 3 /Kids [3 0 R 6 0 R] >>"},
                           {3, "<< /Type /Pages /Count 2 /Kids [4 0 R 5 0 R] /Parent 2 0 R >>"},
                           {4, "<< /Type /Page /Parent 3 0 R >>"},
                           {5, "<< /Type /Page /Parent 3 0 R >>"},
                           {6, "<< /Type /Page /Parent 2 0 R >>"}}));
  ASSERT_NE(doc, nullptr);
  TPDFPageTree& tree = *doc->PageTree;
  EXPECT_EQ(tree.GetPageCount(), 3);
  EXPECT_EQ(ObjNumOf(*doc, tree.FindPageDictionary(3)), 6);
  EXPECT_EQ(tree.LastParent, tree.Root);
  EXPECT_EQ(ObjNumOf(*doc, tree.FindPageDictionary(2)), 5);
  EXPECT_EQ(ObjNumOf(*doc, tree.LastParent), 3);
  EXPECT_EQ(tree.LastRefObjNum, 5);
  for (int32_t n : {0, -1, 4}) EXPECT_EQ(tree.FindPageDictionary(n), nullptr) << n;
}

TEST(PageTree, NodeWithoutCountHidesItsPages) {
  auto doc = Load(MakePdf({{1, kCatalog},
                           {2, "<< /Type /Pages /Count 3 /Kids [3 0 R 6 0 R] >>"},
                           {3, "<< /Type /Pages /Kids [4 0 R 5 0 R] >>"},
                           {4, "<< /Type /Page >>"},
                           {5, "<< /Type /Page >>"},
                           {6, "<< /Type /Page >>"}}));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(ObjNumOf(*doc, doc->PageTree->FindPageDictionary(1)), 6);
  EXPECT_EQ(doc->PageTree->FindPageDictionary(3), nullptr);
}

TEST(PageTree, KidsWrittenDirectlyOrOfOtherTypesAreSkipped) {
  auto doc = Load(MakePdf({{1, kCatalog},
                           {2, "<< /Type /Pages /Count 2 /Kids [<< /Type /Page >> 3 0 R 4 0 R 5 0 R] >>"},
                           {3, "<< /Type /Annot >>"},
                           {4, "(not a dictionary)"},
                           {5, "<< /Type /Page /MediaBox [0 0 10 20] >>"}}));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(ObjNumOf(*doc, doc->PageTree->FindPageDictionary(1)), 5);
  EXPECT_EQ(doc->PageTree->FindPageDictionary(2), nullptr);
}

TEST(PageTree, PageSizes) {
  struct TCase {
    std::string Page;
    std::string Parent;
    double Width, Height;
  } cases[] = {
      {"<< /Type /Page /Parent 2 0 R >>", "/MediaBox [0 0 595 842]", 595, 842},
      {"<< /Type /Page /MediaBox [612 792 0 0] >>", "", 612, 792},
      {"<< /Type /Page /MediaBox 4 0 R >>", "", 300, 400},
      {"<< /Type /Page /MediaBox [0 0 /W 10] >>", "", 0, 10},  // a non-number counts as 0
      {"<< /Type /Page /MediaBox (box) /Parent 2 0 R >>", "/MediaBox [0 0 50 60]", 50, 60},
      {"<< /Type /Page /CropBox [0 0 1 1] /Rotate 90 /MediaBox [0 0 200 100] >>", "", 200, 100},
  };
  for (const TCase& c : cases) {
    auto doc = Load(MakePdf({{1, kCatalog},
                             {2, "<< /Type /Pages /Count 1 /Kids [3 0 R] " + c.Parent + " >>"},
                             {3, c.Page},
                             {4, "[0 0 300 400]"}}));
    ASSERT_NE(doc, nullptr) << c.Page;
    EXPECT_DOUBLE_EQ(doc->PageTree->GetPageWidth(), c.Width) << c.Page;
    EXPECT_DOUBLE_EQ(doc->PageTree->GetPageHeight(), c.Height) << c.Page;
    // An inherited box is read, not copied onto the page.
    if (!c.Parent.empty() && c.Page.find("MediaBox") == std::string::npos) {
      EXPECT_EQ(doc->PageTree->CurrentPageDict->IndexOf("MediaBox"), -1);
    }
  }
}

TEST(PageTree, PageWithoutAnyBoxGetsTheDefault) {
  for (const std::string& rootBox : {std::string(), std::string("/MediaBox [0 0 100 50]")}) {
    auto doc = Load(MakePdf({{1, kCatalog},
                             {2, "<< /Type /Pages /Count 1 /Kids [3 0 R] " + rootBox + " >>"},
                             {3, "<< /Type /Page >>"}}));
    ASSERT_NE(doc, nullptr);
    TPDFPageTree& tree = *doc->PageTree;
    // The root's box is not inherited by a page without /Parent, but it sets the default.
    const double width = rootBox.empty() ? 612 : 100;
    const double height = rootBox.empty() ? 792 : 50;
    EXPECT_DOUBLE_EQ(tree.GetPageWidth(), width);
    EXPECT_DOUBLE_EQ(tree.GetPageHeight(), height);
    // A size query reads; the page gets no box.
    EXPECT_EQ(tree.CurrentPageDict->IndexOf("MediaBox"), -1);
  }
}

TEST(PageTree, ParentLoopAndKidsLoopStop) {
  auto doc = Load(MakePdf({{1, kCatalog},
                           {2, "<< /Type /Pages /Count 3 /Kids [3 0 R 4 0 R] >>"},
                           {3, "<< /Type /Page /Parent 5 0 R >>"},
                           {4, "<< /Type /Pages /Count 2 /Kids [4 0 R] >>"},
                           {5, "<< /Type /Pages /Parent 6 0 R >>"},
                           {6, "<< /Type /Pages /Parent 5 0 R >>"}}));
  ASSERT_NE(doc, nullptr);
  TPDFPageTree& tree = *doc->PageTree;
  EXPECT_DOUBLE_EQ(tree.GetPageWidth(), 612);  // the /Parent walk gave up
  EXPECT_EQ(tree.FindPageDictionary(2), nullptr);
  tree.SetCurrentPage(3);
  EXPECT_EQ(tree.CurrentPage, 1);
  EXPECT_EQ(tree.CurrentPageDict, nullptr);
  EXPECT_DOUBLE_EQ(tree.GetPageWidth(), 0);
}

TEST(PageTree, HugeCountCostsNothing) {
  auto doc = Load(MakePdf({{1, kCatalog},
                           {2, "<< /Type /Pages /Count 2000000000 /Kids [3 0 R 3 0 R] >>"},
                           {3, "<< /Type /Page /MediaBox [0 0 5 5] >>"}}));
  ASSERT_NE(doc, nullptr);
  TPDFPageTree& tree = *doc->PageTree;
  EXPECT_EQ(tree.GetPageCount(), 2000000000);
  EXPECT_NE(tree.FindPageDictionary(2), nullptr);
  EXPECT_EQ(tree.FindPageDictionary(1999999999), nullptr);
}

TEST(PageTree, SelectionKeepsOrRestoresThePage) {
  auto doc = Load(MakePdf({{1, kCatalog},
                           {2, "<< /Type /Pages /Count 2 /Kids [3 0 R 4 0 R] >>"},
                           {3, "<< /Type /Page /MediaBox [0 0 1 1] >>"},
                           {4, "<< /Type /Page /MediaBox [0 0 2 2] >>"}}));
  ASSERT_NE(doc, nullptr);
  TPDFPageTree& tree = *doc->PageTree;
  EXPECT_EQ(tree.CurrentPage, 1);
  tree.SetCurrentPage(2);
  EXPECT_EQ(tree.CurrentPage, 2);
  EXPECT_DOUBLE_EQ(tree.GetPageWidth(), 2);
  for (int32_t outside : {0, 3, -5}) {
    tree.SetCurrentPage(outside);
    EXPECT_EQ(tree.CurrentPage, 2) << outside;
    EXPECT_DOUBLE_EQ(tree.GetPageWidth(), 2) << outside;
  }
}

TEST(PageTree, ContentStreamsPreparedForDrawing) {
  const std::string plain = "<< /Length 3 >>\nstream\nq Q\nendstream";
  const std::string marked = "<< /Length 3 /LC /Zelk >>\nstream\nq Q\nendstream";
  const std::string packed = CompressFlate("BT ET");
  const std::string markedFlate = "<< /Length " + std::to_string(packed.size()) +
                                  " /LC /Zelk /Filter /FlateDecode >>\nstream\n" + packed + "\nendstream";
  const std::string markedLzw = "<< /Length 1 /LC /Zelk /Filter /LZWDecode >>\nstream\nx\nendstream";
  struct TCase {
    std::string Contents;       // the page's /Contents entry
    std::string Stream;         // object 4
    size_t Streams;             // content streams after selection
    std::string WriterText;     // what the writer starts from
    bool NewLast;               // the last stream is a new marked one
  } cases[] = {
      {"/Contents 4 0 R", plain, 2, "", true},                 // a single unmarked stream
      {"/Contents 4 0 R", marked, 1, "q Q", false},            // a marked stream is drawn on
      {"/Contents [4 0 R]", markedFlate, 1, "BT ET", false},   // decoded for the writer
      {"/Contents [4 0 R]", markedLzw, 2, "", true},           // a filter it cannot append to
      {"", plain, 1, "", true},                                // no contents at all
      {"/Contents [4 0 R 7 0 R]", plain, 3, "", true},         // an element that is no stream
      {"/Contents 5 0 R", plain, 2, "", true},                 // a reference to an array
  };
  for (const TCase& c : cases) {
    auto doc = Load(MakePdf({{1, kCatalog},
                             {2, "<< /Type /Pages /Count 1 /Kids [3 0 R] >>"},
                             {3, "<< /Type /Page /MediaBox [0 0 10 10] " + c.Contents + " >>"},
                             {4, c.Stream},
                             {5, "[4 0 R]"},
                             {7, "(not a stream)"}}));
    ASSERT_NE(doc, nullptr) << c.Contents;
    TPDFPageTree& tree = *doc->PageTree;
    // Loading selected page 1; selecting it again changes nothing in the page.
    const std::string before = Text(tree.CurrentPageDict);
    tree.SetCurrentPage(1);
    EXPECT_FALSE(tree.PageReady);
    EXPECT_EQ(Text(tree.CurrentPageDict), before) << c.Contents;
    ASSERT_TRUE(tree.PrepareForDrawing());
    ASSERT_TRUE(tree.PrepareForDrawing());  // a second time adds nothing
    EXPECT_EQ(tree.ContentStreams.size(), c.Streams) << c.Contents;
    EXPECT_EQ(tree.CurrentLayer, static_cast<int32_t>(c.Streams)) << c.Contents;
    EXPECT_EQ(tree.Writer.Text(), c.WriterText) << c.Contents;
    TPDFStream* last = tree.ContentStreams.back();
    if (c.NewLast) {
      EXPECT_EQ(Text(last->Dictionary->GetValue("LC")), "/Zelk") << c.Contents;
      EXPECT_TRUE(last->Data.empty()) << c.Contents;
    }
    // The page's /Contents (or the array it names) lists exactly those streams.
    TPDFArray* contents = As<TPDFArray>(tree.CurrentPageDict->GetValue("Contents", true));
    ASSERT_NE(contents, nullptr) << c.Contents;
    EXPECT_EQ(static_cast<size_t>(contents->Count()), c.Streams) << c.Contents;
  }
}

TEST(PageTree, WriterChangesAreStoredUncompressedInTheCurrentStream) {
  auto doc = Load(MakePdf({{1, kCatalog},
                           {2, "<< /Type /Pages /Count 1 /Kids [3 0 R] >>"},
                           {3, "<< /Type /Page /MediaBox [0 0 10 10] >>"}}));
  ASSERT_NE(doc, nullptr);
  TPDFPageTree& tree = *doc->PageTree;
  ASSERT_TRUE(tree.PrepareForDrawing());
  tree.Writer.Append("0 0 m 5 5 l S\n");
  TPDFStream* stream = tree.ContentStreams.back();
  EXPECT_EQ(stream->Data, "0 0 m 5 5 l S\n");
  EXPECT_EQ(Text(stream->Dictionary->GetValue("Length")), "14");
  EXPECT_EQ(stream->Dictionary->IndexOf("Filter"), -1);
}

TEST(PageTree, EmptyTree) {
  TPDFPageTree tree;
  EXPECT_EQ(tree.GetPageCount(), 0);
  tree.SetCurrentPage(1);
  EXPECT_EQ(tree.CurrentPage, 0);
  EXPECT_DOUBLE_EQ(tree.GetPageWidth(), 0);
  int reported = 0;
  tree.OnNeedObject = [&](int32_t, int32_t) { ++reported; };
  tree.ReportPageObject();
  EXPECT_EQ(reported, 1);
}
