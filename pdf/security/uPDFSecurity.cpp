// Each function in the first half is one algorithm of the PDF standard security handler as
// published in ISO 32000-1, 7.6.3, with its steps in the published order; a comment such as
// "2d" names Algorithm 2, step d. ComputeKeys and the password checks compose them.
#include "uPDFSecurity.h"

#include <optional>
#include <unordered_set>

#include "uPDFDigest.h"
#include "uPDFEncrypt.h"
#include "uPDFNesting.h"
#include "uPDFStructure.h"

const std::string kPasswordPadding(
    "\x28\xBF\x4E\x5E\x4E\x75\x8A\x41\x64\x00\x4E\x56\xFF\xFA\x01\x08"
    "\x2E\x2E\x00\xB6\xD0\x68\x3E\x80\x2F\x0C\xA9\xFE\x64\x53\x69\x7A",
    32);

namespace {

size_t KeyBytes(bool is128) { return is128 ? 16 : 5; }

// 2a: the password cut to 32 bytes and filled up to 32 with the padding.
std::string PadPassword(const std::string& password) {
  std::string padded = password.substr(0, 32);
  padded.append(kPasswordPadding, 0, 32 - padded.size());
  return padded;
}

std::string XorKey(const std::string& key, int value) {
  std::string k = key;
  for (char& c : k) c = static_cast<char>(static_cast<uint8_t>(c) ^ value);
  return k;
}

std::string LowBytesFirst(int64_t value, int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

// RC4 with the key, then at 128 bits nineteen more passes with the key XOR 1 .. 19
// (3f-3g and 5d-5e).
std::string RC4Passes(const std::string& key, const std::string& data, bool is128) {
  std::string out = RC4(key, data);
  if (is128)
    for (int i = 1; i < kRC4Passes; ++i) RC4Crypt(XorKey(key, i), out);
  return out;
}

// Algorithm 2: the file key from the user password, /O, /P and the file identifier.
std::string FileKeyFromPassword(const std::string& userPassword, const std::string& o, int32_t p,
                                const std::string& fileID, bool is128, bool encryptMetadata) {
  TMD5 md5;
  md5.Update(PadPassword(userPassword));  // 2a-2b
  md5.Update(o);                          // 2c: the /O entry
  md5.Update(LowBytesFirst(p, 4));        // 2d: P as four bytes, low first
  md5.Update(fileID);                     // 2e: first element of /ID
  if (!encryptMetadata)
    md5.Update(std::string(4, '\xFF'));  // 2f: metadata in clear (revision 4)
  std::string d = md5.Final();            // 2g
  if (is128)
    for (int i = 0; i < kMD5Rounds; ++i) d = MD5Digest(d);  // 2h: fifty more rounds over the n bytes
  return d.substr(0, KeyBytes(is128));    // 2i: the first n bytes
}

// Algorithm 3, steps a to d: the RC4 key made from the owner password.
std::string OwnerPasswordKey(const std::string& ownerPassword, bool is128) {
  std::string d = MD5Digest(PadPassword(ownerPassword));  // 3a-3b
  if (is128)
    for (int i = 0; i < kMD5Rounds; ++i) d = MD5Digest(d);  // 3c
  return d.substr(0, KeyBytes(is128));                      // 3d
}

// Algorithm 3, steps e to g: /O, the padded user password under the owner key.
std::string OwnerEntry(const std::string& ownerKey, const std::string& userPassword, bool is128) {
  return RC4Passes(ownerKey, PadPassword(userPassword), is128);
}

// Algorithm 4, steps b to c: /U at 40 bits, the padding under the file key.
std::string UserEntry40(const std::string& fileKey) { return RC4(fileKey, kPasswordPadding); }

// Algorithm 5, steps b to f: /U at 128 bits.
std::string UserEntry128(const std::string& fileKey, const std::string& fileID) {
  std::string u = RC4Passes(fileKey, MD5Digest(kPasswordPadding + fileID), true);  // 5b-5e
  return u + std::string(16, '\0');  // 5f: sixteen bytes of filler make 32
}

// Algorithm 6, step b: /U compared in full at 40 bits, on its first 16 bytes otherwise.
bool UserEntryMatches(const std::string& computed, const TSmartPDFEncryption& encryption) {
  if (encryption.Length == 40) return computed == encryption.U;
  return encryption.U.size() >= 16 && computed.size() >= 16 && computed.compare(0, 16, encryption.U, 0, 16) == 0;
}

// Algorithm 7, step b: the user password recovered from /O with the owner key; one pass at
// /R 2, twenty passes with the key XOR 19 down to 0 at /R 3 and 4.
std::string RecoverUserPassword(const std::string& ownerKey, const std::string& o, int32_t r) {
  if (r == 2) return RC4(ownerKey, o);
  std::string password = o;
  if (r == 3 || r == 4)
    for (int j = kRC4Passes - 1; j >= 0; --j) RC4Crypt(XorKey(ownerKey, j), password);
  return password;
}

// Strings and stream data inside a value, each crypted once even when it sits in several
// containers; the depth bound and the visited set keep a hostile graph from looping.
class TValueCrypter {
 public:
  explicit TValueCrypter(const std::string& key) : FKey(key) {}

  void Crypt(TPDFObject* value, int depth) {
    if (!value || depth > pdfsyntax::kMaxWalkDepth) return;
    const TPDFKind kind = value->Kind();
    if (kind != TPDFKind::Dictionary && kind != TPDFKind::Array && kind != TPDFKind::String &&
        kind != TPDFKind::Stream)
      return;  // names, numbers, booleans, null and references carry nothing to crypt
    if (!FVisited.insert(value).second) return;
    switch (kind) {
      case TPDFKind::Dictionary: {
        auto* d = static_cast<TPDFDictionary*>(value);
        for (int32_t i = 0; i < d->Count(); ++i) Crypt(d->GetEntry(i).Value, depth + 1);
        break;
      }
      case TPDFKind::Array: {
        auto* a = static_cast<TPDFArray*>(value);
        for (int32_t i = 0; i < a->Count(); ++i) Crypt(a->GetItem(i), depth + 1);
        break;
      }
      case TPDFKind::String:
        Apply(static_cast<TPDFString*>(value)->Value);  // IsHex stays
        break;
      case TPDFKind::Stream: {
        auto* s = static_cast<TPDFStream*>(value);
        std::string data = std::move(s->Data);
        Apply(data);
        s->SetData(std::move(data));  // /Length becomes the direct number of the data length
        Crypt(s->Dictionary, depth + 1);
        break;
      }
      default:
        break;
    }
  }

 private:
  // Every string and stream of one object starts the key stream afresh from the same key, so
  // the key schedule is made once and copied.
  void Apply(std::string& data) {
    if (data.empty()) return;
    if (!FSchedule) FSchedule.emplace(FKey);
    TRC4 rc4 = *FSchedule;
    rc4.Apply(reinterpret_cast<uint8_t*>(data.data()), data.size());
  }

  const std::string& FKey;
  std::optional<TRC4> FSchedule;  // made on first use: many objects hold nothing to crypt
  std::unordered_set<const TPDFObject*> FVisited;
};

}  // namespace

// ---- Reading an encryption dictionary ----

int32_t ReadPermissionValue(const TPDFObject* value) {
  const auto* number = As<TPDFNumeric>(value);
  if (!number) return 0;
  const double v = number->Value;
  // The unsigned form of a negative value: the same 32 bits.
  if (v >= 2147483648.0 && v <= 4294967295.0) return static_cast<int32_t>(static_cast<int64_t>(v) - 4294967296LL);
  return number->AsInteger();
}

TSmartPDFEncryption ReadEncryption(const TPDFDictionary* dictionary) {
  TSmartPDFEncryption e;
  if (!dictionary) return e;
  auto number = [&](const char* key, int32_t absent) {
    const auto* n = As<TPDFNumeric>(dictionary->GetValue(key));
    return n ? n->AsInteger() : absent;
  };
  const auto* filter = As<TPDFName>(dictionary->GetValue("Filter"));
  const int32_t v = number("V", 0);
  const int32_t r = number("R", 0);
  if (!filter || filter->Value != "Standard" || (v != 1 && v != 2) || (r != 2 && r != 3)) return e;
  e.V = v;
  e.R = r;
  e.Length = v == 1 ? 40 : number("Length", 40);
  if (const auto* o = As<TPDFString>(dictionary->GetValue("O"))) e.O = o->Value;
  if (const auto* u = As<TPDFString>(dictionary->GetValue("U"))) e.U = u->Value;
  e.P = ReadPermissionValue(dictionary->GetValue("P"));
  return e;
}

// ---- Permissions ----

void TakeFilePermissions(TSecurityWork& work, int32_t p) {
  work.LowRights = static_cast<uint8_t>(((p & kPermPrint) ? 1 : 0) | ((p & kPermCopy) ? 2 : 0) |
                                        ((p & kPermModify) ? 4 : 0) | ((p & kPermAnnotate) ? 8 : 0));
  work.HighRights = static_cast<uint8_t>(((p & kPermFillForms) ? 1 : 0) | ((p & kPermAccessibility) ? 2 : 0) |
                                         ((p & kPermAssemble) ? 4 : 0) | ((p & kPermPrintHigh) ? 8 : 0));
  work.PermIs16Bit = (static_cast<uint32_t>(p) & 0xFFFF0000u) == 0;
}

void RebuildPermValue(TSecurityWork& work) {
  int32_t v = -4;  // every bit set but the two lowest
  if (!(work.LowRights & 1)) v &= ~kPermPrint;
  if (!(work.LowRights & 2)) v &= ~kPermCopy;
  if (!(work.LowRights & 4)) v &= ~kPermModify;
  if (!(work.LowRights & 8)) v &= ~kPermAnnotate;
  if (work.Is128) {
    if (!(work.HighRights & 1)) v &= ~kPermFillForms;
    if (!(work.HighRights & 2)) v &= ~kPermAccessibility;
    if (!(work.HighRights & 4)) v &= ~kPermAssemble;
    if (!(work.HighRights & 8)) v &= ~kPermPrintHigh;
  }
  if (work.PermIs16Bit) v &= 0xFFFF;
  work.PermValue = v;
}

int32_t Permissions(int32_t print, int32_t copy, int32_t modify, int32_t annotate, int32_t fillForms,
                    int32_t accessibility, int32_t assemble, int32_t highQualityPrint) {
  const int32_t bits = (print == 1 ? 1 : 0) | (copy == 1 ? 2 : 0) | (modify == 1 ? 4 : 0) |
                       (annotate == 1 ? 8 : 0) | (fillForms == 1 ? 16 : 0) | (accessibility == 1 ? 32 : 0) |
                       (assemble == 1 ? 64 : 0) | (highQualityPrint == 1 ? 128 : 0);
  return bits + (((bits ^ 0xCD) & 0xFF) << 16);
}

bool UnpackPermissions(int32_t packed, uint8_t& lowRights, uint8_t& highRights) {
  if (((packed & 0xFF) ^ 0xCD) != ((packed >> 16) & 0xFF)) return false;
  lowRights = static_cast<uint8_t>(packed & 0x0F);
  highRights = static_cast<uint8_t>((packed >> 4) & 0x0F);
  return true;
}

// ---- Keys and password checks ----

void ComputeKeys(TSecurityWork& work) {
  work.ComputedKey.clear();
  RebuildPermValue(work);

  // /O, from the owner password or, when that is empty, the user password. The owner check
  // comes in with WorkU set and wants the owner key itself; the /O made then is not used.
  if (work.WorkO.empty()) {
    const std::string& s = work.OwnerPassword.empty() ? work.UserPassword : work.OwnerPassword;
    const std::string ownerKey = OwnerPasswordKey(s, work.Is128);
    if (!work.WorkU.empty())
      work.ComputedKey = ownerKey;
    else
      work.WorkU = work.UserPassword;
    work.WorkO = OwnerEntry(ownerKey, work.WorkU, work.Is128);
  }

  const std::string fileKey = FileKeyFromPassword(work.UserPassword, work.WorkO, work.PermValue, work.FileID,
                                                  work.Is128, work.EncryptMetadata);
  if (work.ComputedKey.empty()) work.ComputedKey = fileKey;
  work.WorkU = work.Is128 ? UserEntry128(fileKey, work.FileID) : UserEntry40(fileKey);
}

bool CheckUserPassword(TSecurityWork& work, const TSmartPDFEncryption& encryption, const std::string& password) {
  TakeFilePermissions(work, encryption.P);
  work.Is128 = encryption.Length != 40;
  work.EncryptMetadata = encryption.R < 4 || encryption.EncryptMetadata;
  work.UserPassword = password;
  work.OwnerPassword.clear();
  work.WorkO = encryption.O;
  work.WorkU.clear();
  ComputeKeys(work);  // 6a
  return UserEntryMatches(work.WorkU, encryption);  // 6b
}

bool CheckOwnerPassword(TSecurityWork& work, const TSmartPDFEncryption& encryption, const std::string& password) {
  TakeFilePermissions(work, encryption.P);
  work.Is128 = encryption.Length != 40;
  work.EncryptMetadata = encryption.R < 4 || encryption.EncryptMetadata;
  work.OwnerPassword = password;
  work.UserPassword = password;
  work.WorkO.clear();
  work.WorkU = encryption.U;
  ComputeKeys(work);  // 7a: ComputedKey is the owner key
  work.UserPassword = RecoverUserPassword(work.ComputedKey, encryption.O, encryption.R);  // 7b
  work.WorkO = encryption.O;  // 7c: the recovered password checked as user password
  work.WorkU.clear();
  ComputeKeys(work);
  return UserEntryMatches(work.WorkU, encryption);
}

// Algorithm 1: the key of one object.
std::string ObjectKey(const std::string& fileKey, int32_t objNum, int32_t genNum) {
  // 1b-1c: file key, three low bytes of the object number and two of the generation, low first.
  const std::string digest = MD5Digest(fileKey + LowBytesFirst(objNum, 3) + LowBytesFirst(genNum, 2));
  return digest.substr(0, fileKey.size() + 5 < 16 ? fileKey.size() + 5 : 16);  // 1d
}

void CryptValue(const std::string& key, TPDFObject* value) {
  if (key.empty()) return;
  TValueCrypter(key).Crypt(value, 0);
}

// ---- TSmartPDFCrypt ----

TSmartPDFCrypt::TSmartPDFCrypt(const TSmartPDFEncryption& encryption, const std::string& fileID, uint8_t state)
    : Encryption(encryption), State(state) {
  FileID = fileID;
}

void TSmartPDFCrypt::Prepare(const std::string& ownerPassword, const std::string& userPassword, bool is128,
                             uint8_t lowRights, uint8_t highRights) {
  OwnerPassword = ownerPassword;
  UserPassword = userPassword;
  Is128 = is128;
  LowRights = lowRights;
  HighRights = highRights;
  WorkO.clear();
  WorkU.clear();
  ComputeKeys(*this);
  FileKey = ComputedKey;
}

bool TSmartPDFCrypt::CheckUserPassword(const std::string& password) {
  if (State == 0) return password.empty();
  return ::CheckUserPassword(*this, Encryption, password);
}

bool TSmartPDFCrypt::CheckOwnerPassword(const std::string& password) {
  if (State == 0) return password.empty();
  return ::CheckOwnerPassword(*this, Encryption, password);
}

void TSmartPDFCrypt::RememberPassword(const std::string& password) {
  if (CheckUserPassword(password) || CheckOwnerPassword(password)) {
    StoredPassword = "!" + password;
    FileKey = ComputedKey;
  } else {
    StoredPassword.clear();
  }
}
