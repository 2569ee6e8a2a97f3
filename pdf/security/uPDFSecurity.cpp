#include "uPDFSecurity.h"

#include "uPDFDigest.h"
#include "uPDFEncrypt.h"
#include "uPDFStructure.h"

const std::string kPasswordPadding(
    "\x28\xBF\x4E\x5E\x4E\x75\x8A\x41\x64\x00\x4E\x56\xFF\xFA\x01\x08"
    "\x2E\x2E\x00\xB6\xD0\x68\x3E\x80\x2F\x0C\xA9\xFE\x64\x53\x69\x7A",
    32);

namespace {

constexpr int kCryptDepthLimit = 1000;

// The password cut to 32 bytes and filled up with the padding to 32 bytes.
std::string Pad(const std::string& password) {
  std::string padded = password.substr(0, 32);
  padded += kPasswordPadding.substr(0, 32 - padded.size());
  return padded;
}

std::string XorKey(const std::string& key, int value) {
  std::string k = key;
  for (char& c : k) c = static_cast<char>(static_cast<uint8_t>(c) ^ value);
  return k;
}

std::string LowBytes(int64_t value, int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

// MD5, then at 128 bits fifty more MD5 passes over the whole digest; cut to n bytes.
std::string HashedKey(const std::string& input, bool is128, size_t n) {
  std::string d = MD5Digest(input);
  if (is128)
    for (int i = 0; i < kMD5Rounds; ++i) d = MD5Digest(d);
  return d.substr(0, n);
}

// RC4 with the key, then at 128 bits nineteen more passes with the key XOR 1..19.
std::string RC4Passes(const std::string& key, const std::string& data, bool is128) {
  std::string out = RC4(key, data);
  if (is128)
    for (int i = 1; i < kRC4Passes; ++i) out = RC4(XorKey(key, i), out);
  return out;
}

bool UMatches(const TSecurityWork& work, const TSmartPDFEncryption& encryption) {
  // At 40 bits /U is compared in full; otherwise only its first 16 bytes count.
  if (encryption.Length == 40) return work.WorkU == encryption.U;
  return encryption.U.size() >= 16 && work.WorkU.size() >= 16 && work.WorkU.compare(0, 16, encryption.U, 0, 16) == 0;
}

void CryptValueAt(const std::string& key, TPDFObject* value, int depth) {
  if (!value || depth > kCryptDepthLimit) return;
  switch (value->Kind()) {
    case TPDFKind::Dictionary: {
      auto* d = static_cast<TPDFDictionary*>(value);
      for (int32_t i = 0; i < d->Count(); ++i) CryptValueAt(key, d->GetEntry(i).Value, depth + 1);
      break;
    }
    case TPDFKind::Array: {
      auto* a = static_cast<TPDFArray*>(value);
      for (int32_t i = 0; i < a->Count(); ++i) CryptValueAt(key, a->GetItem(i), depth + 1);
      break;
    }
    case TPDFKind::String:
      RC4Crypt(key, static_cast<TPDFString*>(value)->Value);
      break;
    case TPDFKind::Stream: {
      auto* s = static_cast<TPDFStream*>(value);
      std::string data = std::move(s->Data);
      RC4Crypt(key, data);
      s->SetData(std::move(data));  // also makes /Length a direct number
      CryptValueAt(key, s->Dictionary, depth + 1);
      break;
    }
    default:
      break;  // names, numbers, booleans, null and references carry nothing to crypt
  }
}

}  // namespace

int32_t ReadPermissionValue(const TPDFObject* value) {
  const auto* number = As<TPDFNumeric>(value);
  if (!number) return 0;
  double v = number->Value;
  if (v >= 2147483648.0 && v <= 4294967295.0) return static_cast<int32_t>(static_cast<int64_t>(v) - 4294967296LL);
  return number->AsInteger();
}

TSmartPDFEncryption ReadEncryption(TPDFDictionary* dictionary) {
  TSmartPDFEncryption e;
  if (!dictionary) return e;
  auto* filter = As<TPDFName>(dictionary->GetValue("Filter", true));
  int32_t v = dictionary->GetInteger("V", 0);
  int32_t r = dictionary->GetInteger("R", 0);
  if (!filter || filter->Value != "Standard" || (v != 1 && v != 2) || (r != 2 && r != 3)) return e;
  e.V = v;
  e.R = r;
  // /Length is optional at /V 2, with 40 bits as its default.
  e.Length = v == 1 ? 40 : dictionary->GetInteger("Length", 40);
  if (auto* o = As<TPDFString>(dictionary->GetValue("O", true))) e.O = o->Value;
  if (auto* u = As<TPDFString>(dictionary->GetValue("U", true))) e.U = u->Value;
  e.P = ReadPermissionValue(dictionary->GetValue("P", true));
  return e;
}

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

void ComputeKeys(TSecurityWork& work) {
  work.ComputedKey.clear();
  const size_t n = work.Is128 ? 16 : 5;
  RebuildPermValue(work);

  // The /O entry, from the owner password (or the user password when it is empty).
  if (work.WorkO.empty()) {
    const std::string& s = work.OwnerPassword.empty() ? work.UserPassword : work.OwnerPassword;
    std::string k = HashedKey(Pad(s), work.Is128, n);
    if (!work.WorkU.empty()) {
      work.ComputedKey = k;  // the owner check wants this key
    } else {
      work.WorkU = work.UserPassword;
    }
    work.WorkO = RC4Passes(k, Pad(work.WorkU), work.Is128);
  }

  // The file key: padded user password, /O, /P as four bytes (low first), the file identifier.
  std::string k = HashedKey(Pad(work.UserPassword) + work.WorkO + LowBytes(work.PermValue, 4) + work.FileID,
                            work.Is128, n);
  if (work.ComputedKey.empty()) work.ComputedKey = k;

  // The /U entry.
  if (work.Is128) {
    work.WorkU = RC4Passes(k, MD5Digest(kPasswordPadding + work.FileID), true) + std::string(16, '\0');
  } else {
    work.WorkU = RC4(k, kPasswordPadding);
  }
}

bool CheckUserPassword(TSecurityWork& work, const TSmartPDFEncryption& encryption, const std::string& password) {
  TakeFilePermissions(work, encryption.P);
  work.Is128 = encryption.Length != 40;
  work.UserPassword = password;
  work.OwnerPassword.clear();
  work.WorkO = encryption.O;
  work.WorkU.clear();
  ComputeKeys(work);
  return UMatches(work, encryption);
}

bool CheckOwnerPassword(TSecurityWork& work, const TSmartPDFEncryption& encryption, const std::string& password) {
  TakeFilePermissions(work, encryption.P);
  work.Is128 = encryption.Length != 40;
  work.OwnerPassword = password;
  work.UserPassword = password;
  work.WorkO.clear();
  work.WorkU = encryption.U;
  ComputeKeys(work);
  const std::string k = work.ComputedKey;

  // Recover the user password from /O with the owner key; the passes follow /R.
  if (encryption.R == 2) {
    work.UserPassword = RC4(k, encryption.O);
  } else {
    work.UserPassword = encryption.O;
    if (encryption.R == 3)
      for (int j = kRC4Passes - 1; j >= 0; --j) work.UserPassword = RC4(XorKey(k, j), work.UserPassword);
  }
  work.WorkO = encryption.O;
  work.WorkU.clear();
  ComputeKeys(work);
  return UMatches(work, encryption);
}

std::string ObjectKey(const std::string& fileKey, int32_t objNum, int32_t genNum) {
  std::string digest = MD5Digest(fileKey + LowBytes(objNum, 3) + LowBytes(genNum, 2));
  size_t n = fileKey.size() + 5 < 16 ? fileKey.size() + 5 : 16;
  return digest.substr(0, n);
}

void CryptValue(const std::string& key, TPDFObject* value) {
  if (key.empty()) return;
  CryptValueAt(key, value, 0);
}

int32_t Permissions(int32_t print, int32_t copy, int32_t modify, int32_t annotate, int32_t fillForms,
                    int32_t accessibility, int32_t assemble, int32_t highQualityPrint) {
  int32_t bits = (print == 1 ? 1 : 0) | (copy == 1 ? 2 : 0) | (modify == 1 ? 4 : 0) | (annotate == 1 ? 8 : 0) |
                 (fillForms == 1 ? 16 : 0) | (accessibility == 1 ? 32 : 0) | (assemble == 1 ? 64 : 0) |
                 (highQualityPrint == 1 ? 128 : 0);
  return bits + (((bits ^ 0xCD) & 0xFF) << 16);
}

bool UnpackPermissions(int32_t packed, uint8_t& lowRights, uint8_t& highRights) {
  if (((packed & 0xFF) ^ 0xCD) != ((packed >> 16) & 0xFF)) return false;
  lowRights = static_cast<uint8_t>(packed & 0x0F);
  highRights = static_cast<uint8_t>((packed >> 4) & 0x0F);
  return true;
}

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
