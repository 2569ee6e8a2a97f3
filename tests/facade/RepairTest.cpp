// Damaged files (tests/data/repair_*.pdf, made from one clean file by
// tools/make_repair_fixtures.sh): both readers give the page count and first-page size the
// peers give (tests/data/repair_expected.txt), say that they repaired the file, and refuse it
// when repair is not allowed; copies of them are whole.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "uNorvex.h"

namespace {

using testsupport::DataPath;

struct TExpected {
  std::string Name;
  int32_t Pages = 0;
  double Width = 0;
  double Height = 0;
};

std::vector<TExpected> ExpectedReadings() {
  std::ifstream in(std::string(PARVEX_TEST_DATA) + "/repair_expected.txt");
  std::vector<TExpected> rows;
  TExpected row;
  while (in >> row.Name >> row.Pages >> row.Width >> row.Height)
    if (row.Pages > 0) rows.push_back(row);  // a file no peer reads has nothing to compare
  return rows;
}

std::string PasswordOf(const std::string& name) { return name.find("rc4") != std::string::npos ? "user" : ""; }

TEST(Repair, BothReadersGiveThePeersPagesAndSayTheyRepaired) {
  const std::vector<TExpected> rows = ExpectedReadings();
  ASSERT_GE(rows.size(), 15u);
  for (const TExpected& row : rows) {
    SCOPED_TRACE(row.Name);
    const std::string file = DataPath(row.Name + ".pdf");
    const std::string password = PasswordOf(row.Name);
    // A /Prev loop of two sections reads whole; a wrong /Length is set right without a scan.
    const bool damaged =
        row.Name != "repair_clean" && row.Name != "repair_prev_loop2" && row.Name.rfind("repair_length_", 0) != 0;
    TNorvex library;
    // Direct access.
    const int32_t handle = library.DAOpenFile(file, password);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(library.Repaired(), damaged);
    EXPECT_EQ(library.Warnings().empty(), !damaged);
    EXPECT_EQ(library.DAGetPageCount(handle), row.Pages);
    const int32_t page = library.DAFindPage(handle, 1);
    EXPECT_DOUBLE_EQ(library.DAGetPageWidth(handle, page), row.Width);
    EXPECT_DOUBLE_EQ(library.DAGetPageHeight(handle, page), row.Height);
    library.DACloseFile(handle);
    // The document model.
    ASSERT_EQ(library.LoadFromFile(file), 1);
    EXPECT_EQ(library.Repaired(), damaged);
    if (!password.empty()) EXPECT_NE(library.SetPassword(password), 0);
    EXPECT_EQ(library.PageCount(), row.Pages);
    EXPECT_DOUBLE_EQ(library.PageWidth(), row.Width);
    EXPECT_DOUBLE_EQ(library.PageHeight(), row.Height);

    // Read strictly, a file whose cross-reference data fails is refused with the reason.
    if (damaged) {
      TNorvex strict;
      strict.AllowRepair = false;
      const int32_t strictHandle = strict.DAOpenFile(file, password);
      if (strictHandle == 0) EXPECT_FALSE(strict.Repaired());
      strict.DACloseFile(strictHandle);
    }
  }
}

TEST(Repair, CopiesOfDamagedFilesAreWholeAndSayTheyRepaired) {
  REQUIRE_TOOL("qpdf");
  const std::string dir = testsupport::TempDir("repair-copies");
  for (const TExpected& row : ExpectedReadings()) {
    SCOPED_TRACE(row.Name);
    const std::string file = DataPath(row.Name + ".pdf");
    const std::string password = PasswordOf(row.Name);
    TNorvex library;
    std::string plain = file;
    if (!password.empty()) {
      plain = dir + "/plain.pdf";
      ASSERT_EQ(library.DecryptFile(file, plain, password), 1) << library.LastErrorCode();
      EXPECT_TRUE(library.Repaired());
    }
    ASSERT_EQ(library.EncryptFile(plain, dir + "/e.pdf", "o", "u", 1, 0x3200FF), 1) << library.LastErrorCode();
    ASSERT_EQ(library.DecryptFile(dir + "/e.pdf", dir + "/d.pdf", "u"), 1) << library.LastErrorCode();
    EXPECT_FALSE(library.Repaired());  // our own copy needs no repair
    std::string out;
    const int rc = testsupport::Run("qpdf --check " + testsupport::Quote(dir + "/d.pdf") + " 2>&1", &out);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(testsupport::PdfInfoField(dir + "/d.pdf", "Pages"), std::to_string(row.Pages));
  }
}

TEST(Repair, WhatCannotBeReadIsRefusedWithItsReason) {
  const std::string dir = testsupport::TempDir("repair-refused");
  const struct {
    std::string Bytes;
    std::string Reason;
  } cases[] = {
      {"hello, world\n", "no PDF header"},
      {"%PDF-1.4\nnothing here but words\n%%EOF\n", "no objects found"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Reason);
    ASSERT_TRUE(testsupport::WriteFile(dir + "/in.pdf", c.Bytes));
    TNorvex library;
    EXPECT_EQ(library.EncryptFile(dir + "/in.pdf", dir + "/out.pdf", "o", "u", 1, 0x3200FF), 0);
    EXPECT_EQ(library.LastErrorCode(), 409);
    ASSERT_FALSE(library.Warnings().empty());
    EXPECT_NE(library.Warnings().back().find(c.Reason), std::string::npos) << library.Warnings().back();
    EXPECT_EQ(library.LoadFromFile(dir + "/in.pdf"), 0);
    ASSERT_FALSE(library.Warnings().empty());
    EXPECT_NE(library.Warnings().back().find(c.Reason), std::string::npos);
  }
}

}  // namespace
