// The selected document's security state on the facade, against qpdf's report of the same
// files, and encrypting and decrypting in memory followed by a save that qpdf opens.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "TestSupport.h"
#include "uNorvex.h"
#include "uPDFDocument.h"

using testsupport::DataPath;
using testsupport::Quote;


namespace {

struct Fixture {
  const char* File;
  const char* User;
  const char* Owner;
};
// RC4 fixtures made by qpdf, every permission shape among them.
const Fixture kEncrypted[] = {
    {"sec_rc4_40.pdf", "user", "owner"},
    {"sec_rc4_40_denied.pdf", "user", "owner"},
    {"sec_rc4_40_nopw.pdf", "", ""},
    {"sec_rc4_40_longpw.pdf", "0123456789abcdefghijklmnopqrstuvwxyzABCD", "owner"},
    {"sec_rc4_40_unsignedp.pdf", "user", "owner"},
    {"sec_rc4_128.pdf", "user", "owner"},
    {"sec_rc4_128_denied.pdf", "user", "owner"},
    {"sec_rc4_128_restricted.pdf", "user", "owner"},
    {"sec_rc4_128_emptyuser.pdf", "", "owner"},
    {"sec_rc4_128_emptyowner.pdf", "user", ""},
    {"sec_rc4_128_longowner.pdf", "user", "0123456789abcdefghijklmnopqrstuvwxyzABCD"},
    {"sec_rc4_128_p16.pdf", "user", "owner"},
    {"da_rc4_128_objstm.pdf", "user", "owner"},
    {"app_rc4_40.pdf", "user", "owner"},
    {"app_rc4_128.pdf", "user", "owner"},
};

// qpdf --show-encryption as "key: value" pairs.
std::map<std::string, std::string> QpdfEncryption(const std::string& file, const std::string& password) {
  std::string out;
  testsupport::Run("qpdf --show-encryption --password=" + Quote(password) + " " + Quote(file) + " 2>&1", &out);
  std::map<std::string, std::string> facts;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(start, end - start);
    start = end + 1;
    for (const char* separator : {": ", " = "}) {
      const size_t at = line.find(separator);
      if (at != std::string::npos) {
        facts[line.substr(0, at)] = line.substr(at + std::string(separator).size());
        break;
      }
    }
    if (line.rfind("Supplied password is ", 0) == 0) facts["supplied"] = line.substr(21);
  }
  return facts;
}

int Allowed(const std::map<std::string, std::string>& facts, const std::string& key) {
  return facts.at(key) == "allowed" ? 6 : 5;
}

}  // namespace

TEST(DocumentSecurity, AgreesWithQpdfOnEveryEncryptedFixture) {
  REQUIRE_TOOL("qpdf");
  for (const Fixture& f : kEncrypted) {
    SCOPED_TRACE(f.File);
    const std::string file = DataPath(f.File);
    TNorvex norvex;
    ASSERT_EQ(norvex.LoadFromFile(file), 1);
    const auto facts = QpdfEncryption(file, f.Owner[0] ? f.Owner : f.User);
    const bool is128 = facts.at("R") == "3";
    EXPECT_EQ(norvex.Encrypted(), 1);
    EXPECT_EQ(norvex.EncryptionStrength(), is128 ? 128 : 40);
    EXPECT_EQ(norvex.SecurityInfo(0), 1);
    EXPECT_EQ(norvex.SecurityInfo(1), f.User[0] ? 3 : 2);
    EXPECT_EQ(norvex.SecurityInfo(10), is128 ? 8 : 7);

    // Which password is which. A file made with an empty owner password has the user
    // password as its owner password too: it is both.
    EXPECT_EQ(norvex.SetPassword("not the password"), 0);
    const std::string owner = f.Owner[0] ? f.Owner : f.User;
    const bool same = owner == f.User;
    EXPECT_EQ(QpdfEncryption(file, f.User).at("supplied"), "user password");
    EXPECT_EQ(norvex.SetPassword(f.User), same ? 5 : 1);
    if (!same) EXPECT_EQ(QpdfEncryption(file, owner).at("supplied"), "owner password");
    EXPECT_EQ(norvex.SetPassword(owner), same ? 5 : 2);
    EXPECT_EQ(norvex.SecurityInfo(2), 2);  // the stored password is the owner password now

    // Permissions: printing, then the six rights; the rights of forms, accessibility and
    // assembly exist at 128 bits only (40-bit files report them not allowed).
    const int32_t print = facts.at("print low resolution") != "allowed"     ? 5
                          : !is128 || facts.at("print high resolution") == "allowed" ? 4
                                                                                      : 10;
    EXPECT_EQ(norvex.SecurityInfo(3), print);
    EXPECT_EQ(norvex.SecurityInfo(4), Allowed(facts, "modify other"));
    EXPECT_EQ(norvex.SecurityInfo(5), Allowed(facts, "extract for any purpose"));
    EXPECT_EQ(norvex.SecurityInfo(6), Allowed(facts, "modify annotations"));
    EXPECT_EQ(norvex.SecurityInfo(7), is128 ? Allowed(facts, "modify forms") : 5);
    EXPECT_EQ(norvex.SecurityInfo(8), is128 ? Allowed(facts, "extract for accessibility") : 5);
    EXPECT_EQ(norvex.SecurityInfo(9), is128 ? Allowed(facts, "modify document assembly") : 5);
    EXPECT_EQ(norvex.SecurityInfo(11), 11);
  }
}

TEST(DocumentSecurity, PlainAndUnsupportedDocuments) {
  TNorvex norvex;
  ASSERT_EQ(norvex.LoadFromFile(DataPath("app_plain.pdf")), 1);
  EXPECT_EQ(norvex.Encrypted(), 0);
  EXPECT_EQ(norvex.EncryptionStrength(), 0);
  EXPECT_EQ(norvex.SetPassword("anything"), 3);
  const int32_t expected[] = {0, 2, 2, 4, 6, 6, 6, 6, 6, 6, 11, 11};
  for (int32_t item = 0; item < 12; ++item) EXPECT_EQ(norvex.SecurityInfo(item), expected[item]) << item;

  // An /Encrypt this library does not handle: another filter.
  std::string bytes = testsupport::ReadFile(DataPath("sec_rc4_40.pdf"));
  const size_t filter = bytes.find("/Standard");
  ASSERT_NE(filter, std::string::npos);
  bytes.replace(filter, 9, "/Foreign_");
  ASSERT_EQ(norvex.LoadFromString(bytes), 1);
  EXPECT_EQ(norvex.Encrypted(), 2);
  EXPECT_EQ(norvex.EncryptionStrength(), 0);
  EXPECT_EQ(norvex.SetPassword("user"), 4);
  for (int32_t item = 0; item < 12; ++item) EXPECT_EQ(norvex.SecurityInfo(item), 9) << item;
  EXPECT_EQ(norvex.Unencrypt(), 0);
  EXPECT_EQ(norvex.GetInformation(2), "");
  // Its object streams, if any, could not be read: a save that would lose objects is refused,
  // and a file without them is written as held.
  EXPECT_FALSE(norvex.SaveToString().empty());
}

TEST(DocumentSecurity, InformationNeedsAnAcceptedPassword) {
  TNorvex norvex;
  ASSERT_EQ(norvex.LoadFromFile(DataPath("da_rc4_128_objstm.pdf")), 1);
  // Catalog and pages sit in an encrypted object stream: nothing to read until the password.
  EXPECT_EQ(norvex.PageCount(), 0);
  EXPECT_TRUE(norvex.SaveToString().empty());
  EXPECT_EQ(norvex.LastErrorCode(), 999);
  EXPECT_EQ(norvex.SetPassword("user"), 1);
  EXPECT_EQ(norvex.PageCount(), 7);
  EXPECT_EQ(norvex.SelectPage(3), 1);
  EXPECT_EQ(norvex.PageWidth(), 595);

  ASSERT_EQ(norvex.LoadFromFile(DataPath("info_rc4.pdf")), 1);
  EXPECT_EQ(norvex.GetInformation(1), "");
  EXPECT_EQ(norvex.SetPassword("user"), 1);
  EXPECT_EQ(norvex.GetInformation(1), "Brand\x99 Corp");
  // An indirect string of the information is decrypted too.
  EXPECT_EQ(norvex.GetInformation(3), "Indirect subject");
  EXPECT_EQ(norvex.SetInformation(2, "x"), 0);
  EXPECT_EQ(norvex.LastErrorCode(), 201);
}

TEST(DocumentSecurity, SavedEncryptedDocumentsOpenInQpdfWithTheSamePassword) {
  REQUIRE_TOOL("qpdf");
  const std::string dir = testsupport::TempDir("docsec_save");
  for (const Fixture& f : kEncrypted) {
    SCOPED_TRACE(f.File);
    TNorvex norvex;
    ASSERT_EQ(norvex.LoadFromFile(DataPath(f.File)), 1);
    ASSERT_NE(norvex.SetPassword(f.User), 0);
    norvex.GetInformation(2);  // decrypts the information object, which is encrypted again on saving
    norvex.SelectPage(1);
    const std::string out = dir + "/" + f.File;
    ASSERT_EQ(norvex.SaveToFile(out), 1);
    std::string report;
    EXPECT_EQ(testsupport::Run("qpdf --check --password=" + Quote(f.User) + " " + Quote(out) + " 2>&1", &report), 0) << report;
    TNorvex again;
    ASSERT_EQ(again.LoadFromFile(out), 1);
    EXPECT_NE(again.SetPassword(f.User), 0);
    TNorvex source;
    source.LoadFromFile(DataPath(f.File));
    source.SetPassword(f.User);
    for (int32_t item = 1; item <= 6; ++item) EXPECT_EQ(again.GetInformation(item), source.GetInformation(item));
  }
}

TEST(DocumentSecurity, EncryptAndUnencryptInMemory) {
  REQUIRE_TOOL("qpdf");
  const std::string dir = testsupport::TempDir("docsec_crypt");
  struct Case {
    const char* File;
    int32_t Strength;
    int32_t Permission;  // packed
    const char* ExpectedP;
  };
  TNorvex packer;
  const Case cases[] = {
      {"da_classic.pdf", 1, packer.Permissions(1, 0, 0, 0, 0, 0, 0, 1), "-1852"},
      {"da_objstm.pdf", 0, packer.Permissions(1, 1, 1, 1, 1, 1, 1, 1), "-4"},
      {"da_hybrid.pdf", 1, packer.Permissions(0, 1, 0, 1, 0, 1, 0, 0), "-3344"},
      {"info_texts.pdf", 1, packer.Permissions(1, 1, 1, 1, 1, 1, 1, 1), "-4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File);
    TNorvex norvex;
    ASSERT_EQ(norvex.LoadFromFile(DataPath(c.File)), 1);
    const std::string title = norvex.GetInformation(2);
    ASSERT_EQ(norvex.SetTempFile(dir + "/swap.tmp"), 1);
    ASSERT_EQ(norvex.Encrypt("owner", "user", c.Strength, c.Permission), 1);
    EXPECT_FALSE(std::filesystem::exists(dir + "/swap.tmp"));  // gone with the reload
    EXPECT_EQ(norvex.Encrypted(), 1);
    EXPECT_EQ(norvex.EncryptionStrength(), c.Strength ? 128 : 40);
    const std::string encrypted = dir + "/enc_" + c.File;
    ASSERT_EQ(norvex.SaveToFile(encrypted), 1);
    for (const char* password : {"user", "owner"}) {
      std::string report;
      EXPECT_EQ(testsupport::Run("qpdf --check --password=" + std::string(password) + " " + Quote(encrypted) + " 2>&1", &report), 0)
          << report;
      const auto facts = QpdfEncryption(encrypted, password);
      EXPECT_EQ(facts.at("R"), c.Strength ? "3" : "2");
      EXPECT_EQ(facts.at("P"), c.ExpectedP);
    }

    // Opened with the owner password and made plain: a file that needs no password.
    EXPECT_EQ(norvex.Unencrypt(), 0);  // the user password is not empty: nothing accepted yet
    ASSERT_EQ(norvex.SetPassword("owner"), 2);
    EXPECT_EQ(norvex.GetInformation(2), title);
    ASSERT_EQ(norvex.Unencrypt(), 1);
    EXPECT_EQ(norvex.Encrypted(), 0);
    const std::string plain = dir + "/plain_" + c.File;
    ASSERT_EQ(norvex.SaveToFile(plain), 1);
    std::string report;
    EXPECT_EQ(testsupport::Run("qpdf --check " + Quote(plain) + " 2>&1", &report), 0) << report;
    EXPECT_EQ(testsupport::Run("qpdf --requires-password " + Quote(plain)), 2);
    TNorvex again;
    ASSERT_EQ(again.LoadFromFile(plain), 1);
    EXPECT_EQ(again.GetInformation(2), title);
  }
}

TEST(DocumentSecurity, EncryptRefusals) {
  TNorvex norvex;
  const int32_t all = norvex.Permissions(1, 1, 1, 1, 1, 1, 1, 1);
  EXPECT_EQ(norvex.Permissions(1, 0, 0, 0, 0, 0, 0, 1), 129 + 76 * 65536);
  EXPECT_EQ(norvex.Encrypt("o", "u", 2, all), 0);
  EXPECT_EQ(norvex.LastErrorCode(), 101);
  EXPECT_EQ(norvex.Encrypt("o", "u", 1, 5), 0);
  EXPECT_EQ(norvex.LastErrorCode(), 102);
  ASSERT_EQ(norvex.LoadFromFile(DataPath("sec_rc4_40.pdf")), 1);
  EXPECT_EQ(norvex.Encrypt("o", "u", 1, all), 0);
  EXPECT_EQ(norvex.LastErrorCode(), 103);
}
