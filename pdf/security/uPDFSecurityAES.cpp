// The key algorithms of the AES revisions of the standard security handler. Each function is
// one algorithm of ISO 32000-2, 7.6.4, with its steps in the published order; a comment such
// as "8a" names Algorithm 8, step a. The password text functions are in uPDFPasswordText.cpp.
#include "uPDFSecurityAES.h"

#include "uPDFCipher.h"
#include "uPDFDigest.h"

namespace {

std::string LowBytesFirst(int64_t value, int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

constexpr size_t kHashBytes = 32;
constexpr int kMinRoundsR6 = 64;
const std::string kZeroIV(kAESBlock, '\0');

std::string CutPassword(const std::string& password) { return password.substr(0, kMaxPasswordBytesR6); }

// The three fields of a 48-byte /U or /O.
std::string EntryHash(const std::string& entry) { return entry.substr(0, kHashBytes); }
std::string ValidationSalt(const std::string& entry) { return entry.substr(kHashBytes, kSaltBytesR6); }
std::string KeySalt(const std::string& entry) { return entry.substr(kHashBytes + kSaltBytesR6, kSaltBytesR6); }

// 8a/9a: hash, validation salt and key salt make the 48-byte entry. 8b/9b: the hash with the
// key salt is the key that wraps the file key (AES-256-CBC, zero IV, no padding).
void MakeEntries(const std::string& password, const std::string& fileKey, const std::string& userKey, int32_t r,
                 std::string& entry, std::string& wrapped) {
  const std::string salts = RandomBytes(2 * kSaltBytesR6);
  const std::string validationSalt = salts.substr(0, kSaltBytesR6);
  const std::string keySalt = salts.substr(kSaltBytesR6);
  entry = PasswordHashR6(password, validationSalt, userKey, r) + validationSalt + keySalt;
  wrapped = AESEncryptCBCNoPadding(PasswordHashR6(password, keySalt, userKey, r), kZeroIV, fileKey);
}

// 11a/12a, then 2.A step e/c: the password checked against the entry's hash; on a match the
// hash with the key salt unwraps the file key.
bool CheckEntry(const std::string& password, const std::string& entry, const std::string& wrapped,
                const std::string& userKey, int32_t r, std::string& fileKey) {
  fileKey.clear();
  if (entry.size() < kEntryBytesR6 || wrapped.size() < kFileKeyBytesR6) return false;
  if (PasswordHashR6(password, ValidationSalt(entry), userKey, r) != EntryHash(entry)) return false;
  const std::string intermediate = PasswordHashR6(password, KeySalt(entry), userKey, r);
  fileKey = AESDecryptCBCNoPadding(intermediate, kZeroIV, wrapped.substr(0, kFileKeyBytesR6));
  return fileKey.size() == kFileKeyBytesR6;
}

}  // namespace

// ---- Revision 4 ----

// Algorithm 1 with AESV2: the object key of revision 3 with "sAlT" after the object's numbers.
std::string ObjectKeyAES128(const std::string& fileKey, int32_t objNum, int32_t genNum) {
  // 1b-1c: file key, three low bytes of the object number and two of the generation, low first.
  const std::string digest = MD5Digest(fileKey + LowBytesFirst(objNum, 3) + LowBytesFirst(genNum, 2) + "sAlT");
  return digest.substr(0, fileKey.size() + 5 < 16 ? fileKey.size() + 5 : 16);  // 1d
}

// ---- Revisions 5 and 6 ----

// Algorithm 2.B: the hash of revision 6; revision 5 takes the first SHA-256 alone.
std::string PasswordHashR6(const std::string& password, const std::string& salt, const std::string& userKey,
                           int32_t r) {
  const std::string pw = CutPassword(password);
  std::string k = SHA256Digest(pw + salt + userKey);  // SHA-256 of password, salt and user key
  if (r < 6) return k;
  for (int round = 1;; ++round) {
    // a: K1, 64 repetitions of password, K and the user key.
    const std::string sequence = pw + k + userKey;
    std::string k1;
    k1.reserve(64 * sequence.size());
    for (int i = 0; i < 64; ++i) k1 += sequence;
    // b: E, K1 under AES-128-CBC with the first 16 bytes of K as key and the next 16 as IV.
    const std::string e = AESEncryptCBCNoPadding(k.substr(0, 16), k.substr(16, 16), k1);
    // c: the first 16 bytes of E as a big-endian number, modulo 3 (256 is 1 modulo 3, so the
    // sum of the bytes gives the same remainder), choose the next hash.
    int sum = 0;
    for (size_t i = 0; i < 16; ++i) sum += static_cast<uint8_t>(e[i]);
    // d: the hash of E is the new K.
    switch (sum % 3) {
      case 0: k = SHA256Digest(e); break;
      case 1: k = SHA384Digest(e); break;
      default: k = SHA512Digest(e); break;
    }
    // e-f: at least 64 rounds, then on until the last byte of E is at most the round number - 32.
    if (round >= kMinRoundsR6 && static_cast<uint8_t>(e.back()) <= round - 32) break;
  }
  return k.substr(0, kHashBytes);  // the first 32 bytes of the final K
}

std::string NewFileKeyR6() { return RandomBytes(kFileKeyBytesR6); }

// Algorithm 8: /U and /UE.
void ComputeUserEntriesR6(const std::string& userPassword, const std::string& fileKey, int32_t r, std::string& u,
                          std::string& ue) {
  MakeEntries(userPassword, fileKey, std::string(), r, u, ue);  // 8a-8b
}

// Algorithm 9: /O and /OE, hashed with the 48-byte /U.
void ComputeOwnerEntriesR6(const std::string& ownerPassword, const std::string& fileKey, const std::string& u,
                           int32_t r, std::string& o, std::string& oe) {
  MakeEntries(ownerPassword, fileKey, u.substr(0, kEntryBytesR6), r, o, oe);  // 9a-9b
}

// Algorithm 10: /Perms.
std::string ComputePermsR6(const std::string& fileKey, int32_t p, bool encryptMetadata) {
  std::string block = LowBytesFirst(p, 4) + std::string(4, '\xFF');  // a-b: P extended to 64 bits, low first
  block += encryptMetadata ? 'T' : 'F';                              // c
  block += "adb";                                                    // d
  block += RandomBytes(4);                                           // e
  return AESEncryptECB(fileKey, block);                              // f
}

// Algorithm 11 and Algorithm 2.A, steps d-e.
bool CheckUserPasswordR6(const std::string& password, const std::string& u, const std::string& ue, int32_t r,
                         std::string& fileKey) {
  return CheckEntry(password, u, ue, std::string(), r, fileKey);
}

// Algorithm 12 and Algorithm 2.A, step c.
bool CheckOwnerPasswordR6(const std::string& password, const std::string& o, const std::string& oe,
                          const std::string& u, int32_t r, std::string& fileKey) {
  fileKey.clear();
  if (u.size() < kEntryBytesR6) return false;
  return CheckEntry(password, o, oe, u.substr(0, kEntryBytesR6), r, fileKey);
}

// Algorithm 2.A, steps c to e (a-b, the preparation of the password, are the caller's).
TPasswordMatch FileKeyR6(const std::string& password, const std::string& o, const std::string& oe,
                         const std::string& u, const std::string& ue, int32_t r, std::string& fileKey) {
  if (CheckOwnerPasswordR6(password, o, oe, u, r, fileKey)) return TPasswordMatch::Owner;  // c
  if (CheckUserPasswordR6(password, u, ue, r, fileKey)) return TPasswordMatch::User;       // d-e
  return TPasswordMatch::None;
}

// Algorithm 13, step a: /Perms decrypted, "adb" at bytes 9 to 11.
bool ReadPermsR6(const std::string& fileKey, const std::string& perms, int32_t& p, bool& encryptMetadata) {
  if (perms.size() < kAESBlock) return false;
  const std::string block = AESDecryptECB(fileKey, perms.substr(0, kAESBlock));
  if (block.size() != kAESBlock || block.compare(9, 3, "adb") != 0) return false;
  if (block[8] != 'T' && block[8] != 'F') return false;
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(block[static_cast<size_t>(i)]);
  p = static_cast<int32_t>(value);
  encryptMetadata = block[8] == 'T';
  return true;
}

// Algorithm 13, steps b-c: bytes 0 to 3 low first are /P, byte 8 is /EncryptMetadata.
bool CheckPermsR6(const std::string& fileKey, const std::string& perms, int32_t p, bool encryptMetadata) {
  int32_t stored = 0;
  bool metadata = true;
  return ReadPermsR6(fileKey, perms, stored, metadata) && stored == p && metadata == encryptMetadata;
}
