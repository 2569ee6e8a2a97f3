#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <regex>
#include <vector>

#include "TestSupport.h"
#include "uNorvex.h"
#include "uPDFSecurity.h"

using testsupport::DataPath;
using testsupport::Quote;
using testsupport::ReadFile;
using testsupport::Run;

namespace fs = std::filesystem;

namespace {

// Every unencrypted fixture kind: classic table, object streams, incremental update, hybrid,
// linearized, multi-level tree, wide cross-reference stream fields, and the sample.
const char* const kPlainFixtures[] = {"da_classic.pdf",    "da_objstm.pdf", "da_update.pdf", "da_hybrid.pdf",
                                      "da_linearized.pdf", "da_tree.pdf",   "da_wide.pdf",   "sample.pdf",
                                      "filters_objstm.pdf"};

// qpdf-encrypted RC4 fixtures with their user and owner passwords.
struct Encrypted {
  const char* File;
  const char* User;
  const char* Owner;
};
const Encrypted kEncryptedFixtures[] = {
    {"sec_rc4_40.pdf", "user", "owner"},           {"sec_rc4_128.pdf", "user", "owner"},
    {"sec_rc4_128_restricted.pdf", "user", "owner"}, {"sec_rc4_128_emptyuser.pdf", "", "owner"},
    {"da_rc4_128_objstm.pdf", "user", "owner"},
};

bool SameObjects(const std::string& a, const std::string& pa, const std::string& b, const std::string& pb) {
  std::string out;
  const bool same = testsupport::SameObjects(a, pa, b, pb, "", &out);
  if (!same) ADD_FAILURE() << out;
  return same;
}

// qpdf --check passes without errors or warnings.
bool QpdfClean(const std::string& file, const std::string& password) {
  std::string out;
  int rc = Run("qpdf --check --password=" + Quote(password) + " " + Quote(file) + " 2>&1", &out);
  if (rc != 0 || out.find("No syntax or stream encoding errors found") == std::string::npos)
    ADD_FAILURE() << file << " with password '" << password << "':\n" << out;
  return rc == 0;
}

std::string Capture(const std::string& command) {
  std::string out;
  Run(command + " 2>/dev/null", &out);
  return out;
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  return names;
}

// A PDF without /ID whose one image stream holds size bytes, written here.
std::string MakeStreamFile(const std::string& dir, size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 2654435761u) >> 13);
  std::vector<std::string> objs = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [ 3 0 R ] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 612 792 ] /Resources << /XObject << /Im 4 0 R >> >> >>",
      "<< /Type /XObject /Subtype /Image /Width 2048 /Height 1024 /ColorSpace /DeviceRGB /BitsPerComponent 8 "
      "/Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream",
  };
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objs.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objs[i] + "\nendobj\n";
  }
  size_t xref = pdf.size();
  pdf += "xref\n0 5\n0000000000 65535 f \n";
  for (size_t o : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
    pdf += line;
  }
  pdf += "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  std::string path = dir + "/stream" + std::to_string(size) + ".pdf";
  testsupport::WriteFile(path, pdf);
  return path;
}

}  // namespace

TEST(FileCrypt, EncryptedCopiesOpenInQpdfAndDecryptBackToTheSource) {
  REQUIRE_TOOL("qpdf");
  REQUIRE_TOOL("pdfinfo");
  const std::string dir = testsupport::TempDir("filecrypt-interop");
  std::vector<std::string> sources;
  for (const char* f : kPlainFixtures) sources.push_back(DataPath(f));
  sources.push_back(MakeStreamFile(dir, 6 << 20));  // longer than 5 MiB

  struct Setting {
    int32_t Strength;
    const char* User;
    const char* Owner;
    int32_t Rights[8];
  } settings[] = {
      {1, "user", "owner", {1, 1, 1, 1, 1, 1, 1, 1}},
      {0, "", "owner", {1, 0, 1, 0, 0, 0, 0, 1}},
      {1, "", "", {0, 0, 0, 0, 0, 0, 0, 0}},
      {0, "u", "", {0, 1, 0, 1, 0, 0, 0, 0}},
      {1, "user", "owner", {1, 0, 0, 1, 1, 0, 1, 0}},
  };
  for (const std::string& source : sources) {
    const std::string pages = Capture("qpdf --show-npages " + Quote(source));
    for (const Setting& s : settings) {
      SCOPED_TRACE(source + " strength " + std::to_string(s.Strength) + " user '" + s.User + "'");
      TNorvex n;
      const int32_t packed = n.Permissions(s.Rights[0], s.Rights[1], s.Rights[2], s.Rights[3], s.Rights[4],
                                           s.Rights[5], s.Rights[6], s.Rights[7]);
      const std::string enc = dir + "/enc.pdf", dec = dir + "/dec.pdf";
      ASSERT_EQ(n.EncryptFile(source, enc, s.Owner, s.User, s.Strength, packed), 1);
      EXPECT_EQ(n.LastErrorCode(), 0);
      const std::string owner = *s.Owner ? s.Owner : s.User;
      QpdfClean(enc, s.User);
      QpdfClean(enc, owner);

      // Revision, key length and permissions as asked.
      TSecurityWork expected;
      expected.Is128 = s.Strength == 1;
      UnpackPermissions(packed, expected.LowRights, expected.HighRights);
      RebuildPermValue(expected);
      const std::string shown = Capture("qpdf --show-encryption --show-encryption-key --password=" + Quote(owner) +
                                        " " + Quote(enc));
      EXPECT_NE(shown.find(s.Strength ? "R = 3" : "R = 2"), std::string::npos) << shown;
      EXPECT_NE(shown.find("P = " + std::to_string(expected.PermValue) + "\n"), std::string::npos) << shown;
      std::smatch key;
      ASSERT_TRUE(std::regex_search(shown, key, std::regex("Encryption key = ([0-9a-f]+)")));
      EXPECT_EQ(key[1].str().size(), s.Strength ? 32u : 10u);
      EXPECT_EQ(Capture("pdfinfo -upw " + Quote(s.User) + " " + Quote(enc) + " | sed -n 's/^Pages: *//p'"), pages);

      // The user password gives back every string and stream of the source.
      ASSERT_EQ(n.DecryptFile(enc, dec, s.User), 1);
      EXPECT_EQ(n.LastErrorCode(), 0);
      QpdfClean(dec, "");
      SameObjects(source, "", dec, "");
    }
  }
}

TEST(FileCrypt, DecryptsPeerEncryptedFilesWithEitherPassword) {
  REQUIRE_TOOL("qpdf");
  const std::string dir = testsupport::TempDir("filecrypt-decrypt");
  for (const Encrypted& e : kEncryptedFixtures) {
    for (const char* password : {e.User, e.Owner}) {
      SCOPED_TRACE(std::string(e.File) + " with '" + password + "'");
      TNorvex n;
      const std::string out = dir + "/out.pdf";
      ASSERT_EQ(n.DecryptFile(DataPath(e.File), out, password), 1);
      EXPECT_EQ(n.LastErrorCode(), 0);
      const std::string text = ReadFile(out);
      EXPECT_EQ(text.find("/Encrypt", text.rfind("trailer")), std::string::npos);
      QpdfClean(out, "");
      // Our decryption agrees with qpdf's own reading of the encrypted file.
      SameObjects(DataPath(e.File), password, out, "");
    }
  }
}

TEST(FileCrypt, ResultCodesAndWhatIsLeftOnDisk) {
  const std::string dir = testsupport::TempDir("filecrypt-codes");
  const std::string plain = DataPath("da_classic.pdf");
  const std::string encrypted = DataPath("sec_rc4_128.pdf");
  const std::string notPdf = dir + "/not.pdf";
  testsupport::WriteFile(notPdf, "just some text, no PDF here\n");
  const std::string existing = dir + "/existing.pdf";
  const std::string kept = "the user's earlier file";
  const std::string all = "all";

  struct Case {
    const char* Name;
    std::function<int32_t(TNorvex&, const std::string& out)> Call;
    int32_t Code;
  } cases[] = {
      {"strength 2", [&](TNorvex& n, const std::string& o) { return n.EncryptFile(plain, o, "o", "u", 2, 0x3200FF); },
       407},
      {"bad check byte",
       [&](TNorvex& n, const std::string& o) { return n.EncryptFile(plain, o, "o", "u", 1, 0x3200FE); }, 408},
      {"missing input",
       [&](TNorvex& n, const std::string& o) { return n.EncryptFile(dir + "/missing.pdf", o, "o", "u", 1, 0x3200FF); },
       401},
      {"not a PDF", [&](TNorvex& n, const std::string& o) { return n.DecryptFile(notPdf, o, "x"); }, 409},
      {"already encrypted",
       [&](TNorvex& n, const std::string& o) { return n.EncryptFile(encrypted, o, "o", "u", 1, 0x3200FF); }, 406},
      {"not encrypted", [&](TNorvex& n, const std::string& o) { return n.DecryptFile(plain, o, ""); }, 405},
      {"wrong password", [&](TNorvex& n, const std::string& o) { return n.DecryptFile(encrypted, o, "nope"); }, 404},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    testsupport::WriteFile(existing, kept);
    TNorvex n;
    EXPECT_EQ(c.Call(n, existing), 0);
    EXPECT_EQ(n.LastErrorCode(), c.Code);
    // A refused call leaves an existing output as it was, and no temporary file behind.
    EXPECT_EQ(ReadFile(existing), kept);
    EXPECT_EQ(FilesIn(dir).size(), 2u);
  }

  // 403: the output's folder does not exist; nothing is created.
  TNorvex n;
  EXPECT_EQ(n.DecryptFile(encrypted, dir + "/no/such/folder/out.pdf", "user"), 0);
  EXPECT_EQ(n.LastErrorCode(), 403);

  // 402: the output names the input, directly or through a link; the input is unchanged.
  const std::string input = dir + "/input.pdf";
  fs::copy_file(plain, input);
  fs::create_symlink(input, dir + "/link.pdf");
  const std::string before = ReadFile(input);
  for (const std::string& out : {input, dir + "/link.pdf", dir + "/./input.pdf"}) {
    EXPECT_EQ(n.EncryptFile(input, out, "o", "u", 1, 0x3200FF), 0) << out;
    EXPECT_EQ(n.LastErrorCode(), 402) << out;
  }
  EXPECT_EQ(ReadFile(input), before);
  // 402: an existing output that is a folder cannot be replaced.
  fs::create_directory(dir + "/folder.pdf");
  EXPECT_EQ(n.EncryptFile(input, dir + "/folder.pdf", "o", "u", 1, 0x3200FF), 0);
  EXPECT_EQ(n.LastErrorCode(), 402);

  // Success replaces an existing output, and the next call starts from code 0.
  EXPECT_EQ(n.EncryptFile(plain, existing, "o", "u", 1, 0x3200FF), 1);
  EXPECT_EQ(n.LastErrorCode(), 0);
  EXPECT_EQ(ReadFile(existing).rfind("%PDF-1.4", 0), 0u);
}

TEST(FileCrypt, CopyHasOneRevisionAClassicTableAndACleanTrailer) {
  const std::string dir = testsupport::TempDir("filecrypt-shape");
  TNorvex n;
  // Hybrid file: the copy's trailer has no /XRefStm or /Prev; an object stream source's trailer
  // carries none of the cross-reference stream's keys.
  for (const char* f : {"da_hybrid.pdf", "da_objstm.pdf", "da_update.pdf"}) {
    SCOPED_TRACE(f);
    ASSERT_EQ(n.EncryptFile(DataPath(f), dir + "/e.pdf", "o", "u", 1, 0x3200FF), 1);
    std::string text = ReadFile(dir + "/e.pdf");
    std::string trailer = text.substr(text.rfind("trailer"));
    for (const char* key : {"/Prev", "/XRefStm", "/W ", "/Index", "/DecodeParms", "/Filter", "/XRef"})
      EXPECT_EQ(trailer.find(key), std::string::npos) << key << "\n" << trailer;
    // The header keeps the source's version (these sources are 1.4 or later).
    const std::string source = ReadFile(DataPath(f));
    EXPECT_EQ(text.substr(0, 9), source.substr(0, 8) + "\n");
    EXPECT_EQ(text.find("/ObjStm", text.find("xref\n0 ")), std::string::npos);
    // The table is classic: "xref" then a subsection starting at 0.
    EXPECT_NE(text.find("\nxref\n0 "), std::string::npos);
  }
  // A source without /ID gets two equal new 32-character identifiers.
  ASSERT_EQ(n.EncryptFile(MakeStreamFile(dir, 100), dir + "/e.pdf", "o", "u", 0, 0x3200FF), 1);
  std::string text = ReadFile(dir + "/e.pdf");
  std::smatch id;
  ASSERT_TRUE(std::regex_search(text, id, std::regex("/ID \\[ <([0-9A-F]{64})>\\s+<([0-9A-F]{64})>\\s*\\]")));
  EXPECT_EQ(id[1], id[2]);
}

TEST(FileCrypt, ReportsProgressUpToOneHundred) {
  const std::string dir = testsupport::TempDir("filecrypt-progress");
  TNorvex n;
  std::vector<int32_t> seen;
  n.OnProgress = [&](int32_t p) { seen.push_back(p); };
  ASSERT_EQ(n.EncryptFile(DataPath("da_tree.pdf"), dir + "/e.pdf", "o", "u", 1, 0x3200FF), 1);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 100);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
}
