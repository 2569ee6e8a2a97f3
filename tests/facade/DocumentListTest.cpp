// The document list and page selection, the information fields and saving, on the facade.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "TestSupport.h"
#include "uNorvex.h"
#include "uPDFDocument.h"

using testsupport::DataPath;
using testsupport::PdfInfoField;
using testsupport::Quote;
using testsupport::ReadFile;

namespace {

// Every unencrypted fixture kind: classic, object streams, incremental update, hybrid,
// linearized, multi-level tree, wide cross-reference stream fields, information texts.
const char* const kPlainFixtures[] = {"da_classic.pdf", "da_objstm.pdf",      "da_update.pdf",   "da_hybrid.pdf",
                                      "da_linearized.pdf", "da_tree.pdf",     "da_wide.pdf",
                                      "doc_hybrid.pdf",    "doc_update.pdf",  "filters_objstm.pdf", "sample.pdf",
                                      "info_texts.pdf",    "info_direct.pdf", "app_plain.pdf"};

// One line per page: the digests of its content streams as stored.
std::vector<std::string> PageContents(const std::string& file) {
  std::string out;
  const int rc = testsupport::Run("/usr/bin/python3 " + Quote(std::string(PARVEX_TEST_DATA) + "/../support/page_contents.py") +
                                      " " + Quote(file) + " 2>&1",
                                  &out);
  EXPECT_EQ(rc, 0) << out;
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

TEST(DocumentList, FreshObjectHoldsOneBlankLetterPage) {
  TNorvex norvex;
  EXPECT_EQ(norvex.DocumentCount(), 1);
  EXPECT_NE(norvex.DocumentID(1), 0);
  EXPECT_EQ(norvex.SelectedDocument(), norvex.DocumentID(1));
  EXPECT_EQ(norvex.DocumentID(0), 0);
  EXPECT_EQ(norvex.DocumentID(2), 0);
  EXPECT_EQ(norvex.PageCount(), 1);
  EXPECT_EQ(norvex.SelectedPage(), 1);
  EXPECT_EQ(norvex.PageWidth(), 612);
  EXPECT_EQ(norvex.PageHeight(), 792);
  EXPECT_EQ(norvex.GetInformation(6).rfind("Norvex 4.29 (", 0), 0u);
  EXPECT_EQ(norvex.GetInformation(5), norvex.GetInformation(6));
  EXPECT_EQ(norvex.GetInformation(7).rfind("D:", 0), 0u);
  EXPECT_EQ(norvex.SelectPage(0), 0);
  EXPECT_EQ(norvex.SelectPage(2), 0);
  EXPECT_EQ(norvex.SelectedPage(), 1);
  // A blank document writes a file that peers read.
  const std::string dir = testsupport::TempDir("doclist_blank");
  ASSERT_EQ(norvex.SaveToFile(dir + "/blank.pdf"), 1);
  if (testsupport::HaveTool("qpdf")) EXPECT_EQ(testsupport::Run("qpdf --check " + Quote(dir + "/blank.pdf") + " >/dev/null 2>&1"), 0);
}

TEST(DocumentList, SelectingAndRemovingDocuments) {
  TNorvex norvex;
  const int32_t first = norvex.DocumentID(1);
  EXPECT_EQ(norvex.RemoveDocument(first), 0);  // the only document stays
  ASSERT_EQ(norvex.LoadFromFile(DataPath("da_tree.pdf")), 1);
  const int32_t tree = norvex.SelectedDocument();
  const int32_t third = norvex.NewDocument();
  EXPECT_EQ(norvex.DocumentCount(), 3);
  EXPECT_EQ(norvex.SelectedDocument(), third);
  EXPECT_NE(third, tree);

  // Each document keeps its own selected page.
  ASSERT_EQ(norvex.SelectDocument(tree), 1);
  EXPECT_EQ(norvex.PageCount(), 7);
  ASSERT_EQ(norvex.SelectPage(5), 1);
  ASSERT_EQ(norvex.SelectDocument(third), 1);
  EXPECT_EQ(norvex.SelectedPage(), 1);

  // The selected last document hands the selection to the one before it.
  EXPECT_EQ(norvex.RemoveDocument(third), 1);
  EXPECT_EQ(norvex.SelectedDocument(), tree);
  EXPECT_EQ(norvex.SelectedPage(), 5);
  // A removed identifier is refused from then on.
  EXPECT_EQ(norvex.SelectDocument(third), 0);
  EXPECT_EQ(norvex.RemoveDocument(third), 0);
  EXPECT_EQ(norvex.SelectedDocument(), tree);

  // The selected first document hands it to the second.
  ASSERT_EQ(norvex.SelectDocument(first), 1);
  EXPECT_EQ(norvex.RemoveDocument(first), 1);
  EXPECT_EQ(norvex.SelectedDocument(), tree);
  EXPECT_EQ(norvex.DocumentID(1), tree);
  EXPECT_EQ(norvex.DocumentCount(), 1);

  // Failed loads change neither the list nor the selection, nor a code set before.
  norvex.SetInformation(9, "x");
  EXPECT_EQ(norvex.LoadFromFile("/nonexistent/file.pdf"), 0);
  EXPECT_EQ(norvex.LastErrorCode(), 202);
  EXPECT_EQ(norvex.LoadFromString("not a pdf"), 0);
  EXPECT_EQ(norvex.DocumentCount(), 1);
  EXPECT_EQ(norvex.SelectedDocument(), tree);
  EXPECT_EQ(norvex.SelectDocument(0), 0);
}

TEST(DocumentInformation, TextEncodings) {
  TNorvex norvex;
  ASSERT_EQ(norvex.LoadFromFile(DataPath("info_texts.pdf")), 1);
  // UTF-16BE: characters the code page lacks read as '?', one outside the basic plane too.
  EXPECT_EQ(norvex.GetInformation(2), "Caf\xE9 \x80 ? ?");
  EXPECT_EQ(norvex.GetInformation(1), "Brand\x99 Corp");  // PDFDocEncoding 0x92 is the trade mark
  EXPECT_EQ(norvex.GetInformation(3), "Indirect subject");
  EXPECT_EQ(norvex.GetInformation(4), "one, two");  // a stream value
  EXPECT_EQ(norvex.GetInformation(0), "1.4");
  EXPECT_EQ(norvex.GetInformation(9), "");
  EXPECT_EQ(norvex.GetInformation(-1), "");

  EXPECT_EQ(norvex.SetInformation(2, "A\x99"), 1);
  TPDFDocument& document = norvex.SelectedDocumentObject();
  EXPECT_EQ(As<TPDFString>(document.InfoDict()->GetValue("Title", true))->Value, "A\x92");
  // A value given as UTF-16BE is stored as it is; it reads back converted, so not equal.
  EXPECT_EQ(norvex.SetInformation(5, std::string("\xFE\xFF\x00Z", 4)), 0);
  EXPECT_EQ(norvex.GetInformation(5), "Z");
  // The indirect string changes where it is; the stream value becomes a string.
  EXPECT_EQ(norvex.SetInformation(3, "New subject"), 1);
  EXPECT_NE(As<TPDFIndRef>(document.InfoDict()->GetValue("Subject")), nullptr);
  EXPECT_EQ(norvex.SetInformation(4, "three"), 1);
  EXPECT_NE(As<TPDFString>(document.InfoDict()->GetValue("Keywords")), nullptr);

  EXPECT_EQ(norvex.SetInformation(0, "1.6"), 0);
  EXPECT_EQ(norvex.GetInformation(0), "1.4");
  EXPECT_EQ(norvex.SetInformation(0, "1.3"), 1);
  EXPECT_EQ(norvex.SaveToString().substr(0, 9), "%PDF-1.3\n");
  for (int32_t item : {7, 8, -1}) {
    EXPECT_EQ(norvex.SetInformation(item, "x"), 0);
    EXPECT_EQ(norvex.LastErrorCode(), 202);
  }

  // A direct information dictionary keeps its entries when it becomes an object of its own.
  ASSERT_EQ(norvex.LoadFromFile(DataPath("info_direct.pdf")), 1);
  EXPECT_EQ(norvex.GetInformation(2), "Direct title");
  EXPECT_EQ(norvex.GetInformation(1), "Direct author");
}

TEST(DocumentSave, EditedFixturesPassQpdfAndKeepTheirPages) {
  REQUIRE_TOOL("qpdf");
  REQUIRE_TOOL("pdfinfo");
  const bool pikepdf = testsupport::Run("/usr/bin/python3 -c 'import pikepdf' >/dev/null 2>&1") == 0;
  const std::string dir = testsupport::TempDir("docsave");
  for (const char* name : kPlainFixtures) {
    SCOPED_TRACE(name);
    const std::string source = DataPath(name);
    TNorvex norvex;
    ASSERT_EQ(norvex.LoadFromFile(source), 1);
    norvex.CheckObjects();
    ASSERT_EQ(norvex.SetInformation(2, "Saved title \x99"), 1);
    ASSERT_EQ(norvex.SetInformation(1, "Saved author"), 1);
    const std::string out = dir + "/" + name;
    ASSERT_EQ(norvex.SaveToFile(out), 1);
    std::string report;
    EXPECT_EQ(testsupport::Run("qpdf --check " + Quote(out) + " 2>&1", &report), 0) << report;
    EXPECT_EQ(PdfInfoField(out, "Title"), "Saved title \xE2\x84\xA2");
    EXPECT_EQ(PdfInfoField(out, "Author"), "Saved author");
    EXPECT_EQ(PdfInfoField(out, "Pages"), PdfInfoField(source, "Pages"));
    EXPECT_EQ(PdfInfoField(out, "Producer"), PdfInfoField(source, "Producer"));
    EXPECT_NE(PdfInfoField(out, "ModDate"), "(none)");
    if (pikepdf) {
      // Every page keeps its content streams as stored; selecting a page may add one empty
      // stream after them (the page's drawing layer).
      const auto before = PageContents(source), after = PageContents(out);
      ASSERT_EQ(before.size(), after.size());
      for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].substr(0, before[i].size()), before[i]) << "page " << i + 1;
        const std::string added = after[i].substr(before[i].size());
        EXPECT_TRUE(added.empty() || added == (before[i].empty() ? "empty" : " empty")) << "page " << i + 1 << ": " << added;
      }
    }
  }
}

TEST(DocumentSave, FailureLeavesTheTargetAsItWas) {
  const std::string dir = testsupport::TempDir("docsave_fail");
  const std::string target = dir + "/kept.pdf";
  testsupport::WriteFile(target, "the user's file");
  TNorvex norvex;
  ASSERT_EQ(norvex.LoadFromFile(DataPath("da_rc4_128_objstm.pdf")), 1);  // not opened: cannot be written whole
  EXPECT_EQ(norvex.SaveToFile(target), 0);
  EXPECT_EQ(ReadFile(target), "the user's file");
  std::ostringstream stream;
  EXPECT_EQ(norvex.SaveToStream(stream), 0);
  EXPECT_TRUE(stream.str().empty());
  // A folder that cannot be written: nothing is created, the old file stays.
  ASSERT_EQ(norvex.LoadFromFile(DataPath("da_classic.pdf")), 1);
  EXPECT_EQ(norvex.SaveToFile(dir + "/missing/folder/out.pdf"), 0);
  EXPECT_EQ(norvex.SaveToStream(stream), 1);
  EXPECT_EQ(stream.str().substr(0, 8), "%PDF-1.4");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

TEST(DocumentSave, OverTheLoadedFileAndAgain) {
  const std::string dir = testsupport::TempDir("docsave_over");
  const std::string file = dir + "/doc.pdf";
  testsupport::WriteFile(file, ReadFile(DataPath("da_update.pdf")));
  TNorvex norvex;
  ASSERT_EQ(norvex.LoadFromFile(file), 1);
  ASSERT_EQ(norvex.SetInformation(3, "Over"), 1);
  ASSERT_EQ(norvex.SaveToFile(file), 1);
  ASSERT_EQ(norvex.SaveToFile(file), 1);  // the same document written twice
  TNorvex again;
  ASSERT_EQ(again.LoadFromFile(file), 1);
  EXPECT_EQ(again.GetInformation(3), "Over");
  EXPECT_EQ(again.PageCount(), 3);
}
