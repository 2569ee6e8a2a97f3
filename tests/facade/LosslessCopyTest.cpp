// Copies lose nothing: encrypting, decrypting and saving a file give back every object of the
// source (judged through pikepdf's reading of both files), the copy moves an object's bytes
// as they are, and a copy that cannot be told whole, or whose source changed while it was
// read, replaces nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "uNorvex.h"
#include "uPDFSmartAccess.h"
#include "../smartaccess/TinyPdf.h"

namespace {

using testsupport::DataPath;
using testsupport::Quote;
using testsupport::ReadFile;
using testsupport::Run;
using testsupport::WriteFile;

constexpr int32_t kAllRights = 0x3200FF;

// Every object of first is in second with the same value (see tests/support/same_objects.py).
void ExpectSameObjects(const std::string& first, const std::string& firstPassword, const std::string& second,
                       const std::string& secondPassword, const std::string& infoMayChange = "") {
  std::string out;
  EXPECT_TRUE(testsupport::SameObjects(first, firstPassword, second, secondPassword, infoMayChange, &out))
      << second << ":\n" << out;
}

void ExpectQpdfClean(const std::string& file, const std::string& password) {
  std::string out;
  const int rc = Run("qpdf --check --password=" + Quote(password) + " " + Quote(file) + " 2>&1", &out);
  EXPECT_TRUE(rc == 0 && out.find("No syntax or stream encoding errors found") != std::string::npos)
      << file << " with '" << password << "':\n" << out;
}

std::string Header(const std::string& file) {
  const std::string bytes = ReadFile(file);
  return bytes.substr(0, bytes.find('\n'));
}

TEST(LosslessCopy, EncryptDecryptAndSaveKeepEveryObject) {
  REQUIRE_TOOL("qpdf");
  if (!testsupport::HavePikepdf()) GTEST_SKIP() << "pikepdf not found";
  const struct {
    const char* File;
    const char* Header;  // of every copy
  } cases[] = {
      {"copy_comment_indent.pdf", "%PDF-1.4"},   // comments followed by indented lines
      {"copy_trailer_comment.pdf", "%PDF-1.4"},  // a comment line inside the trailer
      {"copy_long_reals.pdf", "%PDF-1.4"},       // reals with more than four decimals
      {"copy_string_escapes.pdf", "%PDF-1.4"},   // \i, \8, octal and line-end escapes
      {"copy_plus_numbers.pdf", "%PDF-1.4"},     // +5
      {"copy_attachment.pdf", "%PDF-1.4"},       // /Subtype /application#2Foctet-stream
      {"copy_bad_length.pdf", "%PDF-1.4"},       // /Length wrong, missing, indirect
      {"copy_version13.pdf", "%PDF-1.4"},        // raised to the version encryption needs
      {"copy_version17.pdf", "%PDF-1.7"},
      {"da_objstm.pdf", "%PDF-1.5"},             // objects in object streams
      {"da_hybrid.pdf", "%PDF-1.4"},
  };
  const std::string dir = testsupport::TempDir("lossless");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const std::string source = DataPath(c.File);
    TNorvex library;
    for (int32_t strength : {0, 1}) {
      const std::string encrypted = dir + "/e" + std::to_string(strength) + ".pdf";
      ASSERT_EQ(library.EncryptFile(source, encrypted, "o", "u", strength, kAllRights), 1) << library.LastErrorCode();
      EXPECT_EQ(Header(encrypted), c.Header);
      ExpectSameObjects(source, "", encrypted, "u");
      ExpectQpdfClean(encrypted, "u");
      ExpectQpdfClean(encrypted, "o");
    }
    const std::string decrypted = dir + "/d.pdf";
    ASSERT_EQ(library.DecryptFile(dir + "/e1.pdf", decrypted, "u"), 1) << library.LastErrorCode();
    EXPECT_EQ(Header(decrypted), c.Header);
    ExpectSameObjects(source, "", decrypted, "");

    // Saving with a new author changes the information dictionary and nothing else.
    const std::string saved = dir + "/s.pdf";
    ASSERT_EQ(library.LoadFromFile(source), 1);
    ASSERT_EQ(library.SetInformation(1, "X"), 1);
    ASSERT_EQ(library.SaveToFile(saved), 1) << library.LastErrorCode();
    ExpectSameObjects(source, "", saved, "", "Author,ModDate");
    EXPECT_EQ(testsupport::PdfInfoField(saved, "Author"), "X");
    EXPECT_EQ(testsupport::PdfInfoField(saved, "Pages"), testsupport::PdfInfoField(source, "Pages"));
  }
}

// The bytes of a value that needs no change are moved as they are, comments and all; only
// strings are printed anew (crypted), and a wrong /Length is set right.
TEST(LosslessCopy, ValueBytesAreMovedAsTheyAre) {
  const std::string page =
      "<< /Type /Page % 1\n   /Parent 2 0 R\n   /MediaBox [ 0 0 595.275574 841.889771 ]\n   /Rotate +0 >>";
  const std::string form = "<< /Matrix [0.00001 0 0 0.00001 20 20] /Length 999 >>\nstream\nq Q\nendstream";
  const std::string link = "<< /URI (mailto:\\ichd@example.org) /Size [1.50 -.25] >>";
  tinypdf::TFile file = tinypdf::Classic({{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                                          {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
                                          {3, page},
                                          {4, form},
                                          {5, link}},
                                         "<< /Size 6 /Root 1 0 R >>");
  const std::string dir = testsupport::TempDir("lossless-bytes");
  ASSERT_TRUE(WriteFile(dir + "/in.pdf", file.Bytes));
  TNorvex library;
  ASSERT_EQ(library.EncryptFile(dir + "/in.pdf", dir + "/e.pdf", "o", "", 1, kAllRights), 1);
  const std::string encrypted = ReadFile(dir + "/e.pdf");
  EXPECT_NE(encrypted.find("3 0 obj\n" + page + "\nendobj"), std::string::npos) << encrypted;
  EXPECT_NE(encrypted.find("4 0 obj\n<< /Matrix [0.00001 0 0 0.00001 20 20] /Length 4 >>\nstream\n"),
            std::string::npos)
      << encrypted;
  EXPECT_NE(encrypted.find("/Size [1.50 -.25] >>\nendobj"), std::string::npos);
  EXPECT_EQ(encrypted.find("mailto"), std::string::npos);  // the string is crypted

  ASSERT_EQ(library.DecryptFile(dir + "/e.pdf", dir + "/d.pdf", ""), 1);
  const std::string decrypted = ReadFile(dir + "/d.pdf");
  EXPECT_NE(decrypted.find("3 0 obj\n" + page + "\nendobj"), std::string::npos);
  // The string's bytes come back; the backslash that escaped nothing is gone.
  EXPECT_NE(decrypted.find("<< /URI (mailto:ichd@example.org) /Size [1.50 -.25] >>"), std::string::npos)
      << decrypted;
  EXPECT_NE(decrypted.find("stream\nq Q\n\nendstream"), std::string::npos);  // data up to endstream
}

// Files the readers see only part of through their cross-reference data: the newest section's
// /Prev names that section itself, so the older one holding the catalog is never read; or
// every offset is 3 bytes off. Read strictly, a copy of either cannot hold the source's
// objects, so none is written; repaired, the copy holds them all and says so.
TEST(LosslessCopy, AFileReadOnlyInPartIsRepairedOrNotCopiedOrSaved) {
  std::vector<std::pair<std::string, std::string>> files;
  {
    tinypdf::TFile file;
    file.Bytes = "%PDF-1.4\n";
    tinypdf::AppendObjects(file, tinypdf::OnePage());
    tinypdf::AppendClassicSection(file, {0, 1, 2, 3}, "<< /Size 4 /Root 1 0 R >>");
    tinypdf::AppendObjects(file, {{3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] >>"}});
    const int64_t newer = static_cast<int64_t>(file.Bytes.size());
    tinypdf::AppendClassicSection(file, {3}, "<< /Size 4 /Root 1 0 R /Prev " + std::to_string(newer) + " >>");
    tinypdf::AppendEnd(file, newer);
    files.emplace_back("prev-self", file.Bytes);
  }
  {
    tinypdf::TFile file;
    file.Bytes = "%PDF-1.4\n";
    tinypdf::AppendObjects(file, tinypdf::OnePage());
    for (auto& [number, offset] : file.Offsets) offset += 3;
    tinypdf::AppendClassicSection(file, {0, 1, 2, 3}, "<< /Size 4 /Root 1 0 R >>");
    tinypdf::AppendEnd(file, file.XRef);
    files.emplace_back("shifted", file.Bytes);
  }
  const std::string dir = testsupport::TempDir("lossless-part");
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    const std::string input = dir + "/" + name + ".pdf";
    ASSERT_TRUE(WriteFile(input, bytes));
    TNorvex library;
    library.AllowRepair = false;
    EXPECT_EQ(library.EncryptFile(input, dir + "/out.pdf", "o", "u", 1, kAllRights), 0);
    EXPECT_EQ(library.LastErrorCode(), TNorvex::kCodeCopyUnsound);
    EXPECT_FALSE(std::filesystem::exists(dir + "/out.pdf"));
    if (library.LoadFromFile(input) == 1) {
      ASSERT_EQ(library.SetInformation(1, "X"), 1);
      EXPECT_EQ(library.SaveToFile(input), 0);
      EXPECT_EQ(library.LastErrorCode(), TNorvex::kCodeCopyUnsound);
    }
    EXPECT_EQ(ReadFile(input), bytes);

    library.AllowRepair = true;
    ASSERT_EQ(library.EncryptFile(input, dir + "/out.pdf", "o", "u", 1, kAllRights), 1) << library.LastErrorCode();
    EXPECT_TRUE(library.Repaired());
    EXPECT_FALSE(library.Warnings().empty());
    const int32_t handle = library.DAOpenFile(dir + "/out.pdf", "u");
    ASSERT_NE(handle, 0);
    EXPECT_EQ(library.DAGetPageCount(handle), 1);
    // The newest page 3 (its update gave it a box of 10 x 10).
    EXPECT_DOUBLE_EQ(library.DAGetPageWidth(handle, library.DAFindPage(handle, 1)), name == "prev-self" ? 10 : 612);
    library.DACloseFile(handle);
    std::filesystem::remove(dir + "/out.pdf");
  }
}

// A source of many objects, so that the copy reports progress many times on its way.
std::string ManyObjects(int count) {
  std::vector<tinypdf::TObject> objects = tinypdf::OnePage();
  for (int n = 4; n < count; ++n) objects.push_back({n, "<< /N " + std::to_string(n) + " /S (" + std::string(200, 'x') + ") >>"});
  return tinypdf::Classic(objects, "<< /Size " + std::to_string(count) + " /Root 1 0 R >>").Bytes;
}

// Another program truncates or overwrites the input half way through a copy (the copy reads
// it under a lock that only this library's own opens respect).
TEST(LosslessCopy, AnInputChangedDuringACopyReplacesNothing) {
  const std::string dir = testsupport::TempDir("lossless-changed");
  const std::string bytes = ManyObjects(30000);
  for (const char* change : {"truncate", "overwrite"}) {
    SCOPED_TRACE(change);
    const std::string input = dir + "/in.pdf", output = dir + "/out.pdf";
    ASSERT_TRUE(WriteFile(input, bytes));
    ASSERT_TRUE(WriteFile(output, "old output"));
    TNorvex library;
    bool changed = false;
    library.OnProgress = [&](int32_t percent) {
      if (percent < 50 || changed) return;
      changed = true;
      if (std::string(change) == "truncate") {
        std::filesystem::resize_file(input, bytes.size() / 2);
      } else {
        std::fstream f(input, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(bytes.size() * 3 / 4));
        f << "garbage";
      }
    };
    EXPECT_EQ(library.EncryptFile(input, output, "o", "u", 1, kAllRights), 0);
    EXPECT_TRUE(changed);
    EXPECT_EQ(library.LastErrorCode(), TNorvex::kCodeSourceChanged);
    EXPECT_EQ(ReadFile(output), "old output");
  }
}

// A large file is read on demand while it is open in the library; saving after another
// program changed it would mix old and new bytes.
TEST(LosslessCopy, SavingAFileChangedSinceItWasLoadedReplacesNothing) {
  const std::string dir = testsupport::TempDir("lossless-save-changed");
  const std::string input = dir + "/in.pdf";
  const std::string bytes = ManyObjects(30000);  // above the size read into memory whole
  ASSERT_GT(bytes.size(), size_t{4} << 20);
  ASSERT_TRUE(WriteFile(input, bytes));
  TNorvex library;
  ASSERT_EQ(library.LoadFromFile(input), 1);
  {
    std::fstream f(input, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(100);
    f << "changed";
  }
  const std::string changed = ReadFile(input);
  ASSERT_EQ(library.SetInformation(1, "X"), 1);
  EXPECT_EQ(library.SaveToFile(input), 0);
  EXPECT_EQ(library.LastErrorCode(), TNorvex::kCodeSourceChanged);
  EXPECT_EQ(ReadFile(input), changed);
}

}  // namespace

namespace {

// Information entries that name objects of their own: a new /ModDate goes in as a direct
// string, and the object it named, which /CreationDate names too, keeps its bytes.
TEST(LosslessCopy, SavingASharedDateObjectLeavesTheOtherEntryAlone) {
  tinypdf::TFile file = tinypdf::Classic(
      {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
       {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
       {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>"},
       {4, "<< /CreationDate 5 0 R /ModDate 5 0 R /Author 6 0 R >>"},
       {5, "(D:20121031094320Z00'00')"},
       {6, "(old)"}},
      "<< /Size 7 /Root 1 0 R /Info 4 0 R >>");
  const std::string dir = testsupport::TempDir("lossless-shared-date");
  ASSERT_TRUE(WriteFile(dir + "/in.pdf", file.Bytes));
  TNorvex library;
  ASSERT_EQ(library.LoadFromFile(dir + "/in.pdf"), 1);
  ASSERT_EQ(library.SetInformation(1, "new"), 1);
  ASSERT_EQ(library.SaveToFile(dir + "/out.pdf"), 1);
  ASSERT_EQ(library.LoadFromFile(dir + "/out.pdf"), 1);
  EXPECT_EQ(library.GetInformation(7), "D:20121031094320Z00'00'");
  EXPECT_EQ(library.GetInformation(1), "new");
  EXPECT_NE(library.GetInformation(8), library.GetInformation(7));
}

}  // namespace
