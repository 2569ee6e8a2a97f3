// Loading through the facade: the document list grows by each successful load and selects
// it; a failed load changes nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "DocTestPdf.h"
#include "TestSupport.h"
#include "uNorvex.h"
#include "uPDFDocument.h"
#include "uPlatformFile.h"

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

// A file above the whole-read size is read on demand: its objects load as from memory, the
// file is not kept locked, and a new file renamed over it does not change what is read.
TEST(NorvexLoad, LargeFileIsReadOnDemandWithoutKeepingALock) {
  const std::string data(5 << 20, 'x');
  doctest_pdf::TTestPdf pdf;
  pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
  pdf.Obj(2, "<< /Type /Pages /Count 1 /Kids [3 0 R] >>");
  pdf.Obj(3, "<< /Type /Page /MediaBox [0 0 300 200] /Resources << /XObject << /Im 4 0 R >> >> >>");
  pdf.Obj(4, "<< /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream");
  const std::string dir = testsupport::TempDir("norvex_large");
  const std::string path = dir + "/large.pdf";
  ASSERT_TRUE(testsupport::WriteFile(path, pdf.Finish()));

  TNorvex norvex;
  ASSERT_EQ(norvex.LoadFromFile(path), 1);
  TPDFDocument& doc = norvex.SelectedDocumentObject();
  EXPECT_FALSE(doc.FileText.InMemory());
  EXPECT_DOUBLE_EQ(doc.PageTree->GetPageWidth(), 300);

  platform::TFile writer;
  EXPECT_TRUE(writer.Open(path, platform::TFileShare::ReadWriteExclusive));
  writer.Close();
  ASSERT_TRUE(testsupport::WriteFile(dir + "/other.pdf", "replaced"));
  ASSERT_EQ(std::rename((dir + "/other.pdf").c_str(), path.c_str()), 0);

  TPDFStream* image = As<TPDFStream>(doc.GetLoadedValue(doc.FindObject(4, 0)));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Data, data);
}
