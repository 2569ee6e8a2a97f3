#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "uPDFEncrypt.h"
#include "uPDFSecurity.h"
#include "uPDFStructure.h"

namespace {

std::string Unhex(const std::string& hex) {
  std::string s;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) s += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return s;
}

// One row of tests/data/sec_fixtures.txt: a file that qpdf encrypted (or that pdfinfo and
// mutool vouch for) and what the peers report of it.
struct Fixture {
  std::string Name, User, Owner;
  int32_t R = 0, P = 0;
  std::string KeyHex, ID, O, U;
  int32_t InfoObject = 0;
  std::string EncryptedTitle, Title;
};

std::vector<Fixture> Fixtures() {
  std::vector<Fixture> rows;
  std::istringstream in(testsupport::ReadFile(testsupport::DataPath("sec_fixtures.txt")));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Fixture f;
    std::string id, o, u, title;
    fields >> f.Name >> f.User >> f.Owner >> f.R >> f.P >> f.KeyHex >> id >> o >> u >> f.InfoObject >> title;
    std::getline(fields, f.Title);
    f.Title = f.Title.substr(f.Title.find_first_not_of(' '));
    if (f.User == "-") f.User.clear();
    if (f.Owner == "-") f.Owner.clear();
    if (f.KeyHex == "-") f.KeyHex.clear();
    f.ID = Unhex(id);
    f.O = Unhex(o);
    f.U = Unhex(u);
    f.EncryptedTitle = Unhex(title);
    rows.push_back(f);
  }
  return rows;
}

// What the tests need of a small classic-table file: the encryption dictionary and the first
// /ID element, parsed from the file's text.
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

TEST(StandardSecurity, AgreesWithThePeersOnEveryFixture) {
  auto rows = Fixtures();
  ASSERT_GE(rows.size(), 13u);
  for (const Fixture& f : rows) {
    SCOPED_TRACE(f.Name);
    const bool is128 = f.R == 3;
    const std::string key = Unhex(f.KeyHex);
    const std::string owner = f.Owner.empty() ? f.User : f.Owner;

    // The file's dictionary reads as the peer reports it.
    OpenedFile file(f.Name + ".pdf");
    ASSERT_NE(file.Trailer, nullptr);
    const TSmartPDFEncryption e = file.Encryption();
    EXPECT_EQ(e.Length, is128 ? 128 : 40);
    EXPECT_EQ(e.R, f.R);
    EXPECT_EQ(e.P, f.P);
    EXPECT_EQ(e.O, f.O);
    EXPECT_EQ(e.U, f.U);
    EXPECT_EQ(file.FileID(), f.ID);

    // Passwords: the right ones pass and give the peer's file key, wrong ones are refused.
    TSmartPDFCrypt crypt(e, f.ID, 1);
    EXPECT_TRUE(crypt.CheckUserPassword(f.User));
    if (!key.empty()) {
      EXPECT_EQ(crypt.ComputedKey, key);
    }
    EXPECT_TRUE(crypt.CheckOwnerPassword(owner));
    if (!key.empty()) {
      EXPECT_EQ(crypt.ComputedKey, key);
    }
    EXPECT_FALSE(crypt.CheckUserPassword("wrong"));
    EXPECT_FALSE(crypt.CheckOwnerPassword("wrong"));
    if (owner != f.User) {
      EXPECT_FALSE(crypt.CheckOwnerPassword(f.User));
      EXPECT_FALSE(crypt.CheckUserPassword(owner));
    }

    // The object key of the information dictionary turns the stored title into the peer's text.
    crypt.RememberPassword(owner);
    EXPECT_EQ(crypt.StoredPassword, "!" + owner);
    const std::string fileKey = crypt.FileKey;
    EXPECT_EQ(fileKey.size(), is128 ? 16u : 5u);
    EXPECT_EQ(RC4(crypt.ObjectKey(f.InfoObject, 0), f.EncryptedTitle), f.Title);
    TPDFDictionary* info = file.Object(f.InfoObject);
    ASSERT_NE(info, nullptr);
    crypt.CryptValue(crypt.ObjectKey(f.InfoObject, 0), info);
    EXPECT_EQ(info->GetText("Title"), f.Title);
    EXPECT_EQ(info->GetText("Author"), "Parvex tests");
    crypt.RememberPassword("wrong");  // a wrong password forgets the stored one, keeps the key
    EXPECT_EQ(crypt.StoredPassword, "");
    EXPECT_EQ(crypt.FileKey, fileKey);

    // Preparing a new file with the same passwords, rights and identifier reproduces /O, /U
    // (its first 16 bytes at 128 bits), /P and the key.
    TSmartPDFCrypt fresh(TSmartPDFEncryption{}, f.ID, 0);
    TakeFilePermissions(fresh, f.P);
    fresh.Prepare(f.Owner, f.User, is128, fresh.LowRights, fresh.HighRights);
    EXPECT_EQ(fresh.WorkO, f.O);
    EXPECT_EQ(is128 ? fresh.WorkU.substr(0, 16) : fresh.WorkU, is128 ? f.U.substr(0, 16) : f.U);
    EXPECT_EQ(fresh.PermValue, f.P);
    EXPECT_EQ(fresh.FileKey, fileKey);
  }
}

TEST(StandardSecurity, ReadsOnlyTheSupportedDictionaries) {
  struct Case {
    const char* text;
    int32_t length, r, v, p;
  } cases[] = {
      {"<< /Filter /Standard /V 1 /R 2 /Length 128 /O (o) /U (u) /P -4 >>", 40, 2, 1, -4},
      {"<< /Filter /Standard /V 2 /R 3 /Length 128 /O (o) /U (u) /P -3904 >>", 128, 3, 2, -3904},
      {"<< /Filter /Standard /V 2 /R 2 /O (o) /U (u) /P -4 >>", 40, 2, 2, -4},  // /Length by default
      {"<< /Filter /Standard /V 2 /R 3 /Length 56 /O (o) /U (u) /P -4 >>", 56, 3, 2, -4},
      {"<< /Filter /Standard /V 1 /R 2 /O (o) /U (u) /P 4294967292 >>", 40, 2, 1, -4},
      {"<< /Filter /Standard /V 1 /R 2 /O (o) /U (u) >>", 40, 2, 1, 0},
      {"<< /Filter /Standard /V 4 /R 4 /Length 128 /O (o) /U (u) /P -4 >>", 0, 0, 0, 0},
      {"<< /Filter /Standard /V 2 /R 4 /O (o) /U (u) /P -4 >>", 0, 0, 0, 0},
      {"<< /Filter /Other /V 1 /R 2 /O (o) /U (u) /P -4 >>", 0, 0, 0, 0},
      {"<< /Filter (Standard) /V 1 /R 2 /O (o) /U (u) /P -4 >>", 0, 0, 0, 0},
      {"<< /V 1 /R 2 /O (o) /U (u) /P -4 >>", 0, 0, 0, 0},
      {"<< /Filter /Standard /V 5 0 R /R 2 /O (o) /U (u) /P -4 >>", 0, 0, 0, 0},  // only direct numbers
  };
  TPDFStructure pool;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const TSmartPDFEncryption e = ReadEncryption(As<TPDFDictionary>(pool.Parse(c.text)));
    EXPECT_EQ(e.Length, c.length);
    EXPECT_EQ(e.R, c.r);
    EXPECT_EQ(e.V, c.v);
    EXPECT_EQ(e.P, c.p);
    EXPECT_EQ(e.O, c.length ? "o" : "");
    EXPECT_EQ(e.U, c.length ? "u" : "");
  }
  EXPECT_EQ(ReadEncryption(nullptr).Length, 0);
}

TEST(StandardSecurity, OnlyTheFirst32PasswordBytesCount) {
  const std::string first32 = "0123456789abcdefghijklmnopqrstuv";
  struct Case {
    const char* file;
    bool owner;  // the long password is the owner password
  } cases[] = {{"sec_rc4_40_longpw.pdf", false}, {"sec_rc4_128_longowner.pdf", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    OpenedFile file(c.file);
    TSmartPDFCrypt crypt(file.Encryption(), file.FileID(), 1);
    auto check = [&](const std::string& password) {
      return c.owner ? crypt.CheckOwnerPassword(password) : crypt.CheckUserPassword(password);
    };
    EXPECT_TRUE(check(first32));
    EXPECT_TRUE(check(first32 + "ANYTHING"));
    EXPECT_FALSE(check(first32.substr(0, 31)));
    EXPECT_FALSE(check(first32.substr(0, 31) + "V"));
  }
}

TEST(StandardSecurity, ReadsAnUnsignedPermissionValueAsTheSameBits) {
  OpenedFile file("sec_rc4_40_unsignedp.pdf");
  ASSERT_NE(file.Text.find("/P 4294967232"), std::string::npos);
  TSmartPDFEncryption e = file.Encryption();
  EXPECT_EQ(e.P, -64);
  TSmartPDFCrypt crypt(e, file.FileID(), 1);
  EXPECT_TRUE(crypt.CheckUserPassword("user"));
  EXPECT_TRUE(crypt.CheckOwnerPassword("owner"));
  // Read as a saturated 32-bit integer, /P would change the key and lock the user out.
  e.P = INT32_MAX;
  TSmartPDFCrypt saturated(e, file.FileID(), 1);
  EXPECT_FALSE(saturated.CheckUserPassword("user"));

  TPDFStructure pool;
  const std::pair<const char*, int32_t> values[] = {
      {"-44", -44},         {"4294967252", -44},     {"4294967295", -1}, {"2147483648", INT32_MIN},
      {"65532", 65532},     {"-3904.0", -3904},      {"(x)", 0},         {"4294967296", INT32_MAX},
      {"-2147483649", INT32_MIN}};
  for (const auto& [text, expected] : values) EXPECT_EQ(ReadPermissionValue(pool.Parse(text)), expected) << text;
  EXPECT_EQ(ReadPermissionValue(nullptr), 0);
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

  // A string that sits in two containers of the value is one string: crypted once.
  TPDFString* shared = pool.NewString("shared", 0);
  TPDFArray* both = pool.NewArray();
  both->Add(shared);
  both->Add(pool.NewArray());
  As<TPDFArray>(both->GetItem(1))->Add(shared);
  CryptValue(key, both);
  EXPECT_EQ(shared->Value, RC4(key, "shared"));
}
