#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "uPDFSecurity.h"
#include "uPDFStructure.h"

namespace {

std::string Unhex(const std::string& hex) {
  std::string s;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) s += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return s;
}

// One row of tests/data/sec_fixtures.txt: a file qpdf encrypted and what qpdf reports of it.
struct Fixture {
  std::string Name, User, Owner, KeyHex;
  int InfoObject = 0;
};

std::vector<Fixture> Fixtures() {
  std::vector<Fixture> rows;
  std::istringstream in(testsupport::ReadFile(testsupport::DataPath("sec_fixtures.txt")));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Fixture f;
    fields >> f.Name >> f.User >> f.Owner >> f.KeyHex >> f.InfoObject;
    if (f.User == "-") f.User.clear();
    if (f.Owner == "-") f.Owner.clear();
    rows.push_back(f);
  }
  return rows;
}

// What the tests need of a small classic-table file: the encryption dictionary, the first
// /ID element and the information dictionary, parsed from the file's text.
struct OpenedFile {
  TPDFStructure Pool;
  std::string Text;
  TPDFDictionary* Trailer = nullptr;

  explicit OpenedFile(const std::string& name) : Text(testsupport::ReadFile(testsupport::DataPath(name))) {
    size_t at = Text.rfind("trailer");
    if (at != std::string::npos) Trailer = As<TPDFDictionary>(Pool.Parse(Text.substr(at + 7)));
  }
  TPDFDictionary* Object(int number) {
    std::string head = "\n" + std::to_string(number) + " 0 obj";
    size_t at = Text.find(head);
    return at == std::string::npos ? nullptr : As<TPDFDictionary>(Pool.Parse(Text.substr(at + head.size())));
  }
  TSmartPDFEncryption Encryption() {
    auto* ref = As<TPDFIndRef>(Trailer->GetValue("Encrypt"));
    return ReadEncryption(ref ? Object(ref->ObjNum) : nullptr);
  }
  std::string FileID() {
    auto* id = As<TPDFArray>(Trailer->GetValue("ID"));
    auto* first = id ? As<TPDFString>(id->GetItem(0)) : nullptr;
    return first ? first->Value : std::string();
  }
};

}  // namespace

TEST(StandardSecurity, AgreesWithQpdfOnEveryFixture) {
  auto rows = Fixtures();
  ASSERT_GE(rows.size(), 9u);
  for (const Fixture& f : rows) {
    SCOPED_TRACE(f.Name);
    OpenedFile file(f.Name + ".pdf");
    ASSERT_NE(file.Trailer, nullptr);
    TSmartPDFEncryption e = file.Encryption();
    ASSERT_NE(e.Length, 0);
    const std::string key = Unhex(f.KeyHex);
    const std::string owner = f.Owner.empty() ? f.User : f.Owner;

    TSmartPDFCrypt crypt(e, file.FileID(), 1);
    EXPECT_TRUE(crypt.CheckUserPassword(f.User));
    EXPECT_EQ(crypt.ComputedKey, key);
    EXPECT_TRUE(crypt.CheckOwnerPassword(owner));
    EXPECT_EQ(crypt.ComputedKey, key);
    EXPECT_FALSE(crypt.CheckUserPassword("wrong"));
    EXPECT_FALSE(crypt.CheckOwnerPassword("wrong"));
    if (!f.Owner.empty()) {
      EXPECT_FALSE(crypt.CheckOwnerPassword(f.User));
    }

    // The object key of the information dictionary decrypts its title to the peer's text.
    crypt.RememberPassword(f.User);
    EXPECT_EQ(crypt.StoredPassword, "!" + f.User);
    EXPECT_EQ(crypt.FileKey, key);
    TPDFDictionary* info = file.Object(f.InfoObject);
    ASSERT_NE(info, nullptr);
    crypt.CryptValue(crypt.ObjectKey(f.InfoObject, 0), info);
    EXPECT_EQ(info->GetText("Title"), "Security fixture title");
    EXPECT_EQ(info->GetText("Author"), "Parvex tests");

    // Preparing a new file with the same passwords, rights and identifier reproduces /O and /U.
    TSmartPDFCrypt fresh(TSmartPDFEncryption{}, file.FileID(), 0);
    TakeFilePermissions(fresh, e.P);
    fresh.Prepare(f.Owner, f.User, e.Length != 40, fresh.LowRights, fresh.HighRights);
    EXPECT_EQ(fresh.WorkO, e.O);
    if (e.Length == 40) {
      EXPECT_EQ(fresh.WorkU, e.U);
    } else {
      EXPECT_EQ(fresh.WorkU.substr(0, 16), e.U.substr(0, 16));
    }
    EXPECT_EQ(fresh.FileKey, key);
    EXPECT_EQ(fresh.PermValue, e.P);
  }
}

TEST(StandardSecurity, OnlyTheFirst32PasswordBytesCount) {
  OpenedFile file("sec_rc4_40_longpw.pdf");
  TSmartPDFCrypt crypt(file.Encryption(), file.FileID(), 1);
  EXPECT_TRUE(crypt.CheckUserPassword("0123456789abcdefghijklmnopqrstuv"));
  EXPECT_TRUE(crypt.CheckUserPassword("0123456789abcdefghijklmnopqrstuvANYTHING"));
  EXPECT_FALSE(crypt.CheckUserPassword("0123456789abcdefghijklmnopqrstu"));
}

TEST(StandardSecurity, ReadsAnUnsignedPermissionValueAsTheSameBits) {
  OpenedFile file("sec_rc4_40_unsignedp.pdf");
  ASSERT_NE(file.Text.find("/P 4294967232"), std::string::npos);
  TSmartPDFEncryption e = file.Encryption();
  EXPECT_EQ(e.P, -64);
  TSmartPDFCrypt crypt(e, file.FileID(), 1);
  EXPECT_TRUE(crypt.CheckUserPassword("user"));
  EXPECT_TRUE(crypt.CheckOwnerPassword("owner"));

  TPDFStructure pool;
  const std::pair<const char*, int32_t> values[] = {
      {"-44", -44}, {"4294967252", -44}, {"4294967295", -1}, {"2147483648", INT32_MIN}, {"65532", 65532},
      {"(x)", 0}};
  for (const auto& [text, expected] : values) EXPECT_EQ(ReadPermissionValue(pool.Parse(text)), expected) << text;
}

TEST(StandardSecurity, SixteenBitPermissionValueKeepsTheKey) {
  OpenedFile file("sec_rc4_128_p16.pdf");
  TSmartPDFCrypt crypt(file.Encryption(), file.FileID(), 1);
  EXPECT_TRUE(crypt.CheckUserPassword("user"));
  EXPECT_TRUE(crypt.PermIs16Bit);
  EXPECT_EQ(crypt.PermValue, 0xFFFC);
}

TEST(StandardSecurity, FilesThatAreNotEncryptedAcceptOnlyTheEmptyPassword) {
  TSmartPDFCrypt crypt(TSmartPDFEncryption{}, "", 0);
  EXPECT_TRUE(crypt.CheckUserPassword(""));
  EXPECT_TRUE(crypt.CheckOwnerPassword(""));
  EXPECT_FALSE(crypt.CheckUserPassword("x"));
  EXPECT_FALSE(crypt.CheckOwnerPassword("x"));
  // An unsupported dictionary (empty record) on an encrypted file refuses everything.
  TSmartPDFCrypt unsupported(TSmartPDFEncryption{}, "id", 2);
  EXPECT_FALSE(unsupported.CheckUserPassword(""));
  EXPECT_FALSE(unsupported.CheckOwnerPassword(""));
  unsupported.RememberPassword("");
  EXPECT_EQ(unsupported.StoredPassword, "");
}

TEST(StandardSecurity, EmptyOwnerPasswordMakesTheUserPasswordAnOwnerPassword) {
  TSmartPDFCrypt maker(TSmartPDFEncryption{}, "0123456789abcdef", 0);
  maker.Prepare("", "user", true, 0x0F, 0x0F);
  TSmartPDFEncryption e{128, 3, 2, maker.WorkO, maker.WorkU, maker.PermValue};
  TSmartPDFCrypt reader(e, "0123456789abcdef", 1);
  EXPECT_TRUE(reader.CheckUserPassword("user"));
  EXPECT_TRUE(reader.CheckOwnerPassword("user"));
  EXPECT_EQ(reader.ComputedKey, maker.FileKey);
  // Both passwords empty: /O comes from the padding alone and the empty password opens the file.
  maker.Prepare("", "", false, 0x0F, 0x0F);
  TSmartPDFCrypt open(TSmartPDFEncryption{40, 2, 1, maker.WorkO, maker.WorkU, maker.PermValue}, "0123456789abcdef", 1);
  EXPECT_TRUE(open.CheckUserPassword(""));
  EXPECT_TRUE(open.CheckOwnerPassword(""));
}

TEST(Permissions, RebuiltValuesAndPackedValues) {
  struct Case {
    bool is128;
    uint8_t low, high;
    int32_t expected;
  } cases[] = {
      {true, 0, 0, -3904}, {false, 0, 0, -64}, {true, 0x0F, 0x0F, -4}, {false, 0x0F, 0, -4},
      {true, 0x01, 0x08, static_cast<int32_t>(0xFFFFF8C4)},  // print and high-quality print only
  };
  for (const Case& c : cases) {
    TSecurityWork w;
    w.Is128 = c.is128;
    w.LowRights = c.low;
    w.HighRights = c.high;
    RebuildPermValue(w);
    EXPECT_EQ(w.PermValue, c.expected);
  }

  EXPECT_EQ(Permissions(1, 1, 1, 1, 1, 1, 1, 1), 0x3200FF);
  EXPECT_EQ(Permissions(0, 0, 0, 0, 0, 0, 0, 0), 0xCD0000);
  EXPECT_EQ(Permissions(2, 1, 0, 0, 0, 0, 0, 0), Permissions(0, 1, 0, 0, 0, 0, 0, 0));  // 2 is not "allowed"
  uint8_t low = 0, high = 0;
  EXPECT_TRUE(UnpackPermissions(Permissions(1, 0, 1, 0, 0, 1, 0, 1), low, high));
  EXPECT_EQ(low, 0x05);
  EXPECT_EQ(high, 0x0A);
  EXPECT_FALSE(UnpackPermissions(0x3200FE, low, high));
  EXPECT_FALSE(UnpackPermissions(0xFF, low, high));
}

TEST(CryptValue, CryptsStringsAndStreamsAndLeavesTheRestAlone) {
  TPDFStructure pool;
  auto* value = As<TPDFDictionary>(
      pool.Parse("<< /S (secret) /H <414243> /N /Name /A [ (one) 12 0 R [ (deep) ] ] /I 3 >>"));
  ASSERT_NE(value, nullptr);
  TPDFStream* stream = pool.NewStream("stream data");
  stream->Dictionary->SetValue("Length", pool.NewIndRef(9, 0));
  stream->Dictionary->SetValue("Inner", pool.NewString("inner", 0));
  const std::string before = value->ToText();
  const std::string key = ObjectKey(std::string(5, '\x11'), 12, 0);
  EXPECT_EQ(key.size(), 10u);
  EXPECT_EQ(ObjectKey(std::string(16, '\x11'), 12, 0).size(), 16u);

  CryptValue(key, value);
  CryptValue(key, stream);
  EXPECT_NE(value->GetText("S"), "secret");
  EXPECT_EQ(As<TPDFString>(value->GetValue("H"))->IsHex, 1);
  EXPECT_EQ(value->GetText("N"), "Name");
  EXPECT_NE(stream->Data, "stream data");
  EXPECT_EQ(stream->Dictionary->GetInteger("Length", -1), 11);  // the reference became a direct number

  CryptValue(key, value);
  CryptValue(key, stream);
  EXPECT_EQ(value->ToText(), before);
  EXPECT_EQ(stream->Data, "stream data");
  EXPECT_EQ(stream->Dictionary->GetText("Inner"), "inner");
}
