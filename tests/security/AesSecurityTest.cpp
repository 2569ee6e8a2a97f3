#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

#include "TestSupport.h"
#include "uPDFCipher.h"
#include "uPDFDigest.h"
#include "uPDFEncrypt.h"
#include "uPDFSecurity.h"
#include "uPDFSecurityAES.h"
#include "uPDFStructure.h"

namespace {

std::string Hex(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string s;
  for (unsigned char c : bytes) {
    s += kHex[c >> 4];
    s += kHex[c & 15];
  }
  return s;
}

std::string Unhex(const std::string& hex) {
  std::string s;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) s += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return s;
}

// Hands out the queued byte strings to the random source, in order; restores the default
// source when the test ends.
class FixedRandom {
 public:
  FixedRandom() {
    SetRandomSource([this](uint8_t* bytes, size_t count) {
      ASSERT_FALSE(FQueue.empty()) << "no random bytes queued for " << count;
      ASSERT_EQ(FQueue.front().size(), count);
      std::copy(FQueue.front().begin(), FQueue.front().end(), bytes);
      FQueue.pop_front();
    });
  }
  ~FixedRandom() { SetRandomSource(nullptr); }
  void Queue(const std::string& bytes) { FQueue.push_back(bytes); }
  bool Drained() const { return FQueue.empty(); }

 private:
  std::deque<std::string> FQueue;
};

// What the tests need of a small classic-table file that qpdf wrote: the trailer, the
// encryption dictionary, the first /ID element and the stored title of /Info.
struct EncryptedFile {
  TPDFStructure Pool;
  std::string Text;
  TPDFDictionary* Trailer = nullptr;
  TPDFDictionary* Encrypt = nullptr;

  explicit EncryptedFile(const std::string& name) : Text(testsupport::ReadFile(testsupport::DataPath(name))) {
    size_t at = Text.rfind("trailer");
    if (at != std::string::npos) Trailer = As<TPDFDictionary>(Pool.Parse(Text.substr(at + 7)));
    if (Trailer) Encrypt = Object(ReferenceNumber("Encrypt"));
  }
  int ReferenceNumber(const char* key) {
    auto* ref = As<TPDFIndRef>(Trailer->GetValue(key));
    return ref ? ref->ObjNum : 0;
  }
  TPDFDictionary* Object(int number) {
    std::string head = "\n" + std::to_string(number) + " 0 obj";
    size_t at = Text.find(head);
    return at == std::string::npos ? nullptr : As<TPDFDictionary>(Pool.Parse(Text.substr(at + head.size())));
  }
  std::string Bytes(TPDFDictionary* dictionary, const char* key) {
    auto* s = dictionary ? As<TPDFString>(dictionary->GetValue(key)) : nullptr;
    return s ? s->Value : std::string();
  }
  std::string Entry(const char* key) { return Bytes(Encrypt, key); }
  std::string FileID() {
    auto* id = As<TPDFArray>(Trailer->GetValue("ID"));
    auto* first = id ? As<TPDFString>(id->GetItem(0)) : nullptr;
    return first ? first->Value : std::string();
  }
  bool EncryptMetadata() {
    auto* b = As<TPDFBoolean>(Encrypt->GetValue("EncryptMetadata"));
    return !b || b->Value;
  }
  // /CFM of the standard crypt filter, after checking that strings and streams both use it.
  std::string Method() {
    auto* cf = As<TPDFDictionary>(Encrypt->GetValue("CF"));
    auto* std = cf ? As<TPDFDictionary>(cf->GetValue("StdCF")) : nullptr;
    if (!std || Encrypt->GetText("StmF") != "StdCF" || Encrypt->GetText("StrF") != "StdCF") return "?";
    return std->GetText("CFM");
  }
};

const std::string kTitle = "Parvex sample";  // /Title of tests/data/sample.pdf, which every fixture copies

// ---- The fixtures of tools/make_aes_fixtures.sh ----

struct Fixture {
  const char* File;
  int32_t R, V;
  const char* Method;
  const char* User;  // as typed, UTF-8
  const char* Owner;
  bool EncryptMetadata;
};

const Fixture kRevision4[] = {
    {"aes_r4", 4, 4, "AESV2", "user", "owner", true},
    {"aes_r4_cleartext", 4, 4, "AESV2", "user", "owner", false},
    {"aes_r4_emptyuser", 4, 4, "AESV2", "", "owner", true},
    {"aes_r4_unicode", 4, 4, "AESV2", "é", "€uro", true},
    {"aes_r4_utf8bytes", 4, 4, "AESV2", "日本", "owner", true},  // no PDFDocEncoding form
    {"aes_r4_rc4cf", 4, 4, "V2", "user", "owner", true},
};

// The user password of aes_r6_longpw: 127 bytes, the most that revision 6 hashes.
constexpr char kLong127[] =
    "abcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcdefghij"
    "abcdefghijabcdefghijabcdefg";

const Fixture kRevision6[] = {
    {"aes_r5", 5, 5, "AESV3", "user", "owner", true},
    {"aes_r6", 6, 5, "AESV3", "user", "owner", true},
    {"aes_r6_emptyuser", 6, 5, "AESV3", "", "owner", true},
    {"aes_r6_cleartext", 6, 5, "AESV3", "user", "owner", false},
    {"aes_r6_unicode", 6, 5, "AESV3", "日本", "é€", true},
    {"aes_r6_longpw", 6, 5, "AESV3", kLong127, "owner", true},
    {"aes_r6_denied", 6, 5, "AESV3", "user", "owner", true},
};

// The bytes a revision 4 password hashes: PDFDocEncoding where the text has it, else the
// UTF-8 bytes as typed (what qpdf falls back to).
std::string PasswordBytesR4(const std::string& typed) {
  std::string bytes;
  return Utf8ToPdfDoc(typed, bytes) ? bytes : typed;
}

void CheckDictionary(EncryptedFile& file, const Fixture& f) {
  ASSERT_NE(file.Encrypt, nullptr);
  EXPECT_EQ(file.Encrypt->GetText("Filter"), "Standard");
  EXPECT_EQ(file.Encrypt->GetInteger("R", 0), f.R);
  EXPECT_EQ(file.Encrypt->GetInteger("V", 0), f.V);
  EXPECT_EQ(file.Method(), f.Method);
  EXPECT_EQ(file.EncryptMetadata(), f.EncryptMetadata);
}

}  // namespace

TEST(AesSecurity, Revision4FilesOpenWithTheirPasswordsAndDecrypt) {
  for (const Fixture& f : kRevision4) {
    SCOPED_TRACE(f.File);
    EncryptedFile file(std::string(f.File) + ".pdf");
    ASSERT_NE(file.Trailer, nullptr);
    CheckDictionary(file, f);
    const std::string user = PasswordBytesR4(f.User), owner = PasswordBytesR4(f.Owner);
    const int32_t p = ReadPermissionValue(file.Encrypt->GetValue("P"));
    const TSmartPDFEncryption e{128, 4, 4, file.Entry("O"), file.Entry("U"), p, f.EncryptMetadata};
    const std::string id = file.FileID();

    // The user password opens as user, the owner password as owner, with the same key.
    TSmartPDFCrypt crypt(e, id, 1);
    ASSERT_TRUE(crypt.CheckUserPassword(user));
    const std::string key = crypt.ComputedKey;
    EXPECT_EQ(key.size(), 16u);
    ASSERT_TRUE(crypt.CheckOwnerPassword(owner));
    EXPECT_EQ(crypt.ComputedKey, key);
    EXPECT_FALSE(crypt.CheckUserPassword("wrong"));
    EXPECT_FALSE(crypt.CheckOwnerPassword("wrong"));
    EXPECT_FALSE(crypt.CheckOwnerPassword(user));
    EXPECT_FALSE(crypt.CheckUserPassword(owner));
    // The metadata flag enters the key: read the other way, the user password fails.
    TSmartPDFEncryption flipped = e;
    flipped.EncryptMetadata = !f.EncryptMetadata;
    EXPECT_FALSE(TSmartPDFCrypt(flipped, id, 1).CheckUserPassword(user));

    // The key decrypts the title: AESV2 with the salted object key, V2 with RC4.
    const int info = file.ReferenceNumber("Info");
    const std::string stored = file.Bytes(file.Object(info), "Title");
    if (std::string(f.Method) == "AESV2") {
      std::string plain;
      EXPECT_TRUE(AESDecryptCBC(ObjectKeyAES128(key, info, 0), stored, plain));
      EXPECT_EQ(plain, kTitle);
    } else {
      EXPECT_EQ(RC4(ObjectKey(key, info, 0), stored), kTitle);
    }

    // Preparing a file with the same passwords, rights, flag and identifier gives the file's
    // /O, /U (its first 16 bytes; qpdf fills the rest with its own bytes) and key.
    TSmartPDFCrypt fresh(TSmartPDFEncryption{}, id, 0);
    TakeFilePermissions(fresh, e.P);
    fresh.EncryptMetadata = f.EncryptMetadata;
    fresh.Prepare(owner, user, true, fresh.LowRights, fresh.HighRights);
    EXPECT_EQ(Hex(fresh.WorkO), Hex(e.O));
    EXPECT_EQ(Hex(fresh.WorkU.substr(0, 16)), Hex(e.U.substr(0, 16)));
    EXPECT_EQ(fresh.PermValue, e.P);
    EXPECT_EQ(fresh.FileKey, key);
  }
}

TEST(AesSecurity, Revision4PasswordsTypedAsUnicode) {
  // qpdf hashed é and €uro as PDFDocEncoding bytes; the UTF-8 bytes do not open the file.
  EncryptedFile unicode("aes_r4_unicode.pdf");
  const int32_t p = ReadPermissionValue(unicode.Encrypt->GetValue("P"));
  TSmartPDFCrypt crypt({128, 4, 4, unicode.Entry("O"), unicode.Entry("U"), p, true}, unicode.FileID(), 1);
  EXPECT_TRUE(crypt.CheckUserPassword("\xE9"));
  EXPECT_TRUE(crypt.CheckOwnerPassword("\xA0uro"));
  EXPECT_FALSE(crypt.CheckUserPassword("é"));
  EXPECT_FALSE(crypt.CheckOwnerPassword("€uro"));
  // 日本 has no PDFDocEncoding form: the conversion refuses, the raw bytes open the file.
  std::string bytes;
  EXPECT_FALSE(Utf8ToPdfDoc("日本", bytes));
  EncryptedFile raw("aes_r4_utf8bytes.pdf");
  TSmartPDFCrypt rawCrypt({128, 4, 4, raw.Entry("O"), raw.Entry("U"), p, true}, raw.FileID(), 1);
  EXPECT_TRUE(rawCrypt.CheckUserPassword("日本"));
}

TEST(AesSecurity, Revision5And6FilesOpenWithTheirPasswordsAndDecrypt) {
  for (const Fixture& f : kRevision6) {
    SCOPED_TRACE(f.File);
    EncryptedFile file(std::string(f.File) + ".pdf");
    ASSERT_NE(file.Trailer, nullptr);
    CheckDictionary(file, f);
    const std::string o = file.Entry("O"), u = file.Entry("U"), oe = file.Entry("OE"), ue = file.Entry("UE");
    const std::string perms = file.Entry("Perms");
    const int32_t p = ReadPermissionValue(file.Encrypt->GetValue("P"));
    ASSERT_EQ(o.size(), 48u);
    ASSERT_EQ(u.size(), 48u);
    std::string user, owner;
    ASSERT_TRUE(PreparePasswordR6(f.User, user));
    ASSERT_TRUE(PreparePasswordR6(f.Owner, owner));

    // Algorithm 2.A: the user password opens as user, the owner password as owner, same key.
    std::string key, ownerKey, none = "stale";
    EXPECT_EQ(FileKeyR6(user, o, oe, u, ue, f.R, key), TPasswordMatch::User);
    EXPECT_EQ(key.size(), 32u);
    EXPECT_EQ(FileKeyR6(owner, o, oe, u, ue, f.R, ownerKey), TPasswordMatch::Owner);
    EXPECT_EQ(ownerKey, key);
    EXPECT_EQ(FileKeyR6("wrong", o, oe, u, ue, f.R, none), TPasswordMatch::None);
    EXPECT_EQ(none, "");
    EXPECT_FALSE(CheckOwnerPasswordR6(user, o, oe, u, f.R, none));
    EXPECT_FALSE(CheckUserPasswordR6(owner, u, ue, f.R, none));
    // The other revision's hash does not open the file (revision 5 hashes once, 6 in rounds).
    EXPECT_FALSE(CheckUserPasswordR6(user, u, ue, f.R == 5 ? 6 : 5, none));

    // Algorithm 13: /Perms agrees with /P and /EncryptMetadata, and notices a change of either.
    EXPECT_TRUE(CheckPermsR6(key, perms, p, f.EncryptMetadata));
    EXPECT_FALSE(CheckPermsR6(key, perms, p ^ kPermPrint, f.EncryptMetadata));
    EXPECT_FALSE(CheckPermsR6(key, perms, p, !f.EncryptMetadata));
    int32_t read = 0;
    bool metadata = true;
    EXPECT_FALSE(ReadPermsR6(std::string(32, 'k'), perms, read, metadata));  // a wrong key finds no "adb"

    // The file key decrypts the title directly.
    std::string plain;
    EXPECT_TRUE(AESDecryptCBC(key, file.Bytes(file.Object(file.ReferenceNumber("Info")), "Title"), plain));
    EXPECT_EQ(plain, kTitle);

    // Algorithms 8, 9 and 10 with the file's own salts and random bytes give the file's entries.
    {
      FixedRandom random;
      random.Queue(u.substr(32, 16));
      random.Queue(o.substr(32, 16));
      random.Queue(AESDecryptECB(key, perms).substr(12, 4));
      std::string u2, ue2, o2, oe2;
      ComputeUserEntriesR6(user, key, f.R, u2, ue2);
      ComputeOwnerEntriesR6(owner, key, u2, f.R, o2, oe2);
      EXPECT_EQ(Hex(u2), Hex(u));
      EXPECT_EQ(Hex(ue2), Hex(ue));
      EXPECT_EQ(Hex(o2), Hex(o));
      EXPECT_EQ(Hex(oe2), Hex(oe));
      EXPECT_EQ(Hex(ComputePermsR6(key, p, f.EncryptMetadata)), Hex(perms));
      EXPECT_TRUE(random.Drained());
    }
  }
}

TEST(AesSecurity, Revision6PasswordsAreCutTo127Bytes) {
  EncryptedFile file("aes_r6_longpw.pdf");
  const std::string u = file.Entry("U"), ue = file.Entry("UE");
  const std::string password = kLong127;
  ASSERT_EQ(password.size(), 127u);
  std::string key;
  EXPECT_TRUE(CheckUserPasswordR6(password + "anything more", u, ue, 6, key));
  std::string prepared;
  ASSERT_TRUE(PreparePasswordR6(password + "xyz", prepared));
  EXPECT_EQ(prepared, password);
  EXPECT_FALSE(CheckUserPasswordR6(password.substr(0, 126), u, ue, 6, key));
}

TEST(AesSecurity, NewRevision6FileRoundTrips) {
  // A file made here: new key, entries from both passwords, then each password opens it.
  for (int32_t r : {5, 6}) {
    SCOPED_TRACE(r);
    const std::string key = NewFileKeyR6();
    ASSERT_EQ(key.size(), 32u);
    EXPECT_NE(key, NewFileKeyR6());
    std::string u, ue, o, oe;
    ComputeUserEntriesR6("Ünïcödé", key, r, u, ue);
    ComputeOwnerEntriesR6("owner", key, u, r, o, oe);
    const std::string perms = ComputePermsR6(key, -3904, false);
    EXPECT_EQ(u.size(), 48u);
    EXPECT_EQ(ue.size(), 32u);
    EXPECT_EQ(o.size(), 48u);
    EXPECT_EQ(oe.size(), 32u);
    EXPECT_EQ(perms.size(), 16u);
    std::string got;
    EXPECT_EQ(FileKeyR6("Ünïcödé", o, oe, u, ue, r, got), TPasswordMatch::User);
    EXPECT_EQ(got, key);
    EXPECT_EQ(FileKeyR6("owner", o, oe, u, ue, r, got), TPasswordMatch::Owner);
    EXPECT_EQ(got, key);
    int32_t p = 0;
    bool metadata = true;
    EXPECT_TRUE(ReadPermsR6(key, perms, p, metadata));
    EXPECT_EQ(p, -3904);
    EXPECT_FALSE(metadata);
    // Damaged entries refuse every password rather than read past their ends.
    EXPECT_FALSE(CheckUserPasswordR6("Ünïcödé", u.substr(0, 47), ue, r, got));
    EXPECT_FALSE(CheckUserPasswordR6("Ünïcödé", u, ue.substr(0, 31), r, got));
    EXPECT_FALSE(CheckOwnerPasswordR6("owner", o, oe, u.substr(0, 40), r, got));
    EXPECT_FALSE(ReadPermsR6(key, perms.substr(0, 15), p, metadata));
  }
}

// ---- Primitives ----

TEST(AES, MatchesTheNistVectors) {
  // SP 800-38A, F.1.1 and F.1.5 (ECB), F.2.1 and F.2.5 (CBC, IV 000102...0f).
  const std::string plain = Unhex(
      "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
      "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
  const std::string iv = Unhex("000102030405060708090a0b0c0d0e0f");
  struct Case {
    const char* key;
    const char* ecb;  // first block
    const char* cbc;
  } cases[] = {
      {"2b7e151628aed2a6abf7158809cf4f3c", "3ad77bb40d7a3660a89ecaf32466ef97",
       "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
       "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"},
      {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4", "f3eed1bdb5d2a03c064b5a7e3db181f8",
       "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
       "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const std::string key = Unhex(c.key);
    EXPECT_EQ(Hex(AESEncryptECB(key, plain.substr(0, 16))), c.ecb);
    EXPECT_EQ(AESDecryptECB(key, Unhex(c.ecb)), plain.substr(0, 16));
    EXPECT_EQ(Hex(AESEncryptCBCNoPadding(key, iv, plain)), c.cbc);
    EXPECT_EQ(AESDecryptCBCNoPadding(key, iv, Unhex(c.cbc)), plain);
    // With padding: the IV first, the same blocks, then one block of padding.
    const std::string padded = AESEncryptCBC(key, iv, plain);
    ASSERT_EQ(padded.size(), 16u + 64u + 16u);
    EXPECT_EQ(padded.substr(0, 16), iv);
    EXPECT_EQ(Hex(padded.substr(16, 64)), c.cbc);
    std::string back;
    EXPECT_TRUE(AESDecryptCBC(key, padded, back));
    EXPECT_EQ(back, plain);
  }
}

TEST(AES, RoundTripsEveryLengthWithBothKeySizes) {
  const std::string iv = "0123456789abcdef";
  for (size_t keySize : {16u, 32u}) {
    const std::string key(keySize, '\x5A');
    for (size_t n : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 100u}) {
      SCOPED_TRACE(std::to_string(keySize) + "/" + std::to_string(n));
      std::string plain;
      for (size_t i = 0; i < n; ++i) plain += static_cast<char>(i * 37);
      const std::string data = AESEncryptCBC(key, iv, plain);
      EXPECT_EQ(data.size(), 16 + (n / 16 + 1) * 16);
      std::string back = "stale";
      EXPECT_TRUE(AESDecryptCBC(key, data, back));
      EXPECT_EQ(back, plain);
    }
  }
}

TEST(AES, WrongSizesGiveNothing) {
  const std::string block(16, 'b');
  for (size_t keySize : {0u, 5u, 24u, 64u}) {
    const std::string key(keySize, 'k');
    std::string plain = "stale";
    EXPECT_EQ(AESEncryptCBC(key, block, "x"), "");
    EXPECT_FALSE(AESDecryptCBC(key, block + block, plain));
    EXPECT_EQ(plain, "");
    EXPECT_EQ(AESEncryptECB(key, block), "");
    EXPECT_EQ(AESEncryptCBCNoPadding(key, block, block), "");
  }
  const std::string key(16, 'k');
  EXPECT_EQ(AESEncryptCBC(key, "short iv", "x"), "");
  EXPECT_EQ(AESEncryptECB(key, std::string(17, 'b')), "");
  EXPECT_EQ(AESDecryptCBCNoPadding(key, block, std::string(20, 'b')), "");
}

TEST(AES, DecryptsDamagedDataAsFarAsItCan) {
  const std::string key(16, '\x42'), iv(16, '\x07');
  const std::string body(16, 'A');
  // Ciphertexts made without padding, so the plain text's last bytes act as the padding.
  auto made = [&](const std::string& plain) { return iv + AESEncryptCBCNoPadding(key, iv, plain); };
  const std::string good = AESEncryptCBC(key, iv, "seventeen bytes!!");
  struct Case {
    const char* name;
    std::string data;
    bool ok;
    std::string plain;
  } cases[] = {
      {"empty", "", false, ""},
      {"shorter than the IV", iv.substr(0, 15), false, ""},
      {"the IV alone", iv, false, ""},
      {"IV and a broken block", iv + "12345", false, ""},
      {"valid padding", made(body + std::string(14, 'B') + "\x02\x02"), true, body + std::string(14, 'B')},
      {"a whole block of padding", made(body + std::string(16, '\x10')), true, body},
      {"padding byte zero", made(body + std::string(15, 'B') + '\0'), false, body + std::string(15, 'B') + '\0'},
      {"padding byte 17", made(body + std::string(15, 'B') + "\x11"), false, body + std::string(15, 'B') + "\x11"},
      {"padding bytes that disagree", made(body + std::string(13, 'B') + "\x01\x03\x03"), false,
       body + std::string(13, 'B') + "\x01\x03\x03"},
      {"trailing bytes after whole blocks", good + "xyz", false, "seventeen bytes!!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string plain = "stale";
    EXPECT_EQ(AESDecryptCBC(key, c.data, plain), c.ok);
    EXPECT_EQ(Hex(plain), Hex(c.plain));
  }
}

TEST(SHA2, MatchesTheAbcVectors) {
  EXPECT_EQ(Hex(SHA256Digest("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Hex(SHA384Digest("abc")),
            "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7");
  EXPECT_EQ(Hex(SHA512Digest("abc")),
            "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd"
            "454d4423643ce80e2a9ac94fa54ca49f");
  EXPECT_EQ(Hex(SHA256Digest("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(RandomSource, CanBeFixedAndRestored) {
  {
    FixedRandom random;
    random.Queue("abcd");
    EXPECT_EQ(RandomBytes(4), "abcd");
  }
  EXPECT_EQ(RandomBytes(0), "");
  EXPECT_NE(RandomBytes(16), RandomBytes(16));  // the default source again
}

TEST(AesSecurity, SaltedObjectKey) {
  const std::string key16(16, '\x11'), key5(5, '\x11');
  const std::string numbers("\x0c\x00\x00\x03\x00", 5);  // object 12, generation 3, low bytes first
  EXPECT_EQ(ObjectKeyAES128(key16, 12, 3), MD5Digest(key16 + numbers + "sAlT"));
  EXPECT_EQ(ObjectKeyAES128(key5, 12, 3), MD5Digest(key5 + numbers + "sAlT").substr(0, 10));
  EXPECT_NE(ObjectKeyAES128(key16, 12, 3), ObjectKey(key16, 12, 3));
  EXPECT_NE(ObjectKeyAES128(key16, 12 + (1 << 24), 3), ObjectKeyAES128(key16, 13, 3));
  EXPECT_EQ(ObjectKeyAES128(key16, 12 + (1 << 24), 3), ObjectKeyAES128(key16, 12, 3));  // three bytes only
}

// ---- Password text ----

TEST(PasswordText, SaslPrep) {
  struct Case {
    const char* in;
    bool ok;
    const char* out;
  } cases[] = {
      {"user", true, "user"},
      {"", true, ""},
      {"I\u00ADX", true, "IX"},          // soft hyphen maps to nothing
      {"\u00AA", true, "a"},             // NFKC
      {"\u2168", true, "IX"},            // ROMAN NUMERAL NINE, NFKC
      {"a\u00A0b", true, "a b"},         // a non-ASCII space maps to the space
      {"e\u0301", true, "\u00E9"},       // composed
      {"日本", true, "日本"},
      {"\x07", false, ""},               // a control character is prohibited
      {"a\u2028b", false, ""},           // LINE SEPARATOR is prohibited
      {"\u0627\x31", false, ""},         // right-to-left text that ends left-to-right
      {"\xC3", false, ""},               // cut UTF-8
      {"\xC0\xAF", false, ""},           // overlong UTF-8
      {"\xED\xA0\x80", false, ""},       // a surrogate
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.in));
    std::string out = "stale";
    EXPECT_EQ(PreparePasswordR6(c.in, out), c.ok);
    EXPECT_EQ(Hex(out), Hex(c.out));
  }
  std::string out;
  EXPECT_FALSE(PreparePasswordR6(std::string("a\0b", 3), out));  // U+0000
  EXPECT_TRUE(PreparePasswordR6(std::string(200, 'a'), out));
  EXPECT_EQ(out, std::string(127, 'a'));
  std::string accents;
  for (int i = 0; i < 64; ++i) accents += "é";
  EXPECT_TRUE(PreparePasswordR6(accents, out));
  EXPECT_EQ(out, accents.substr(0, 127));  // bytes, even through a character
}

TEST(PasswordText, PdfDocEncoding) {
  struct Case {
    const char* in;
    bool ok;
    const char* out;
  } cases[] = {
      {"user", true, "user"},
      {"", true, ""},
      {"é", true, "\xE9"},
      {"ÿ", true, "\xFF"},
      {"€", true, "\xA0"},
      {"Ž", true, "\x99"},
      {"™", true, "\x92"},
      {"•", true, "\x80"},
      {"−", true, "\x8A"},  // MINUS SIGN
      {"ž", true, "\x9E"},
      {"ﬁ", true, "\x93"},
      {"˘", true, "\x18"},  // BREVE
      {"˜", true, "\x1F"},  // SMALL TILDE
      {"\t\n", true, "\t\n"},
      {"日", false, ""},
      {"\u00A0", false, ""},  // no-break space: 0xA0 is the euro sign here
      {"\u00AD", false, ""},  // soft hyphen: 0xAD is undefined
      {"\u007F", false, ""},
      {"\u0080", false, ""},
      {"\u009F", false, ""},
      {"\u0160", true, "\x97"},  // Š
      {"\xE9", false, ""},       // Latin-1, not UTF-8
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.in));
    std::string out;
    EXPECT_EQ(Utf8ToPdfDoc(c.in, out), c.ok);
    if (c.ok) {
      EXPECT_EQ(Hex(out), Hex(c.out));
    }
  }
}
