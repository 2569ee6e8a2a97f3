// Loading through the facade: the document list grows by each successful load and selects
// it; a failed load changes nothing.
#include <gtest/gtest.h>

#include <sstream>

#include "TestSupport.h"
#include "uNorvex.h"
#include "uPDFDocument.h"

using testsupport::DataPath;
using testsupport::ReadFile;

TEST(NorvexLoad, StartsWithOneBlankDocument) {
  TNorvex norvex;
  EXPECT_EQ(norvex.DocumentCount(), 1);
  TPDFDocument& blank = norvex.SelectedDocumentObject();
  EXPECT_EQ(blank.PageTree->GetPageCount(), 1);
  EXPECT_DOUBLE_EQ(blank.PageTree->GetPageWidth(), 612);
  EXPECT_EQ(norvex.Linearized(), 0);
}

TEST(NorvexLoad, EachLoadAppendsAndSelects) {
  TNorvex norvex;
  ASSERT_EQ(norvex.LoadFromFile(DataPath("doc_tree.pdf")), 1);
  EXPECT_EQ(norvex.DocumentCount(), 2);
  TPDFDocument* first = &norvex.SelectedDocumentObject();
  EXPECT_EQ(first->PageTree->GetPageCount(), 5);

  ASSERT_EQ(norvex.LoadFromFile(DataPath("doc_tree.pdf")), 1);
  EXPECT_EQ(norvex.DocumentCount(), 3);
  EXPECT_NE(&norvex.SelectedDocumentObject(), first);

  std::istringstream stream(ReadFile(DataPath("doc_linearized.pdf")));
  ASSERT_EQ(norvex.LoadFromStream(stream), 1);
  EXPECT_EQ(norvex.Linearized(), 1);
  ASSERT_EQ(norvex.LoadFromString(ReadFile(DataPath("doc_update.pdf"))), 1);
  EXPECT_EQ(norvex.Linearized(), 0);
  EXPECT_EQ(norvex.DocumentCount(), 5);
}

TEST(NorvexLoad, FailedLoadChangesNothing) {
  TNorvex norvex;
  ASSERT_EQ(norvex.LoadFromString(ReadFile(DataPath("doc_tree.pdf"))), 1);
  TPDFDocument* selected = &norvex.SelectedDocumentObject();
  EXPECT_EQ(norvex.LoadFromString("%PDF-1.4\nnot a pdf"), 0);
  EXPECT_EQ(norvex.LoadFromFile(DataPath("no_such_file.pdf")), 0);
  std::istringstream empty;
  EXPECT_EQ(norvex.LoadFromStream(empty), 0);
  EXPECT_EQ(norvex.DocumentCount(), 2);
  EXPECT_EQ(&norvex.SelectedDocumentObject(), selected);
  EXPECT_EQ(norvex.LastErrorCode(), 0);
}

TEST(NorvexLoad, CheckObjectsLoadsTheSelectedDocument) {
  TNorvex norvex;
  ASSERT_EQ(norvex.LoadFromFile(DataPath("doc_objstreams.pdf")), 1);
  TPDFDocument& doc = norvex.SelectedDocumentObject();
  EXPECT_LT(doc.ParsedCount(), static_cast<int64_t>(doc.Objects.size()) - 2);
  EXPECT_EQ(norvex.CheckObjects(), 1);
  for (TPDFIndObj* object : doc.Objects) EXPECT_TRUE(object->Loaded) << object->ObjNum;
}
