#pragma once
// The standard security handler of PDF: RC4 at 40 bits (revision 2) and 128 bits
// (revision 3). Turns passwords and permission rights into the /O, /U and /P entries and
// the file key, checks passwords against an encryption dictionary, derives object keys
// and applies RC4 to the strings and stream data of a value.
//
// Revision 4 (/V 4) derives its key and checks its passwords with the same functions
// (TSecurityWork::EncryptMetadata); its AES object key, and revisions 5 and 6, are in
// uPDFSecurityAES.h.
//
// The key derivation lives here once. The direct-access engine holds it through
// TSmartPDFCrypt; the document model keeps its own TSecurityWork and encryption record and
// calls the same free functions with its own file identifier.
#include <cstdint>
#include <string>

class TPDFObject;
class TPDFDictionary;

// The 32-byte password padding of the standard security handler.
extern const std::string kPasswordPadding;
constexpr int kMD5Rounds = 50;   // extra MD5 passes at 128 bits
constexpr int kRC4Passes = 20;   // RC4 passes with XORed keys at 128 bits

// /P bits of the permissions.
enum : int32_t {
  kPermPrint = 4,
  kPermModify = 8,
  kPermCopy = 16,
  kPermAnnotate = 32,
  kPermFillForms = 256,
  kPermAccessibility = 512,
  kPermAssemble = 1024,
  kPermPrintHigh = 2048,
};

// Rights: LowRights bit 0 print, 1 copy, 2 modify, 3 annotate; HighRights (128-bit only)
// bit 0 fill in forms, 1 accessibility, 2 assemble, 3 high-quality print.

// The parameters of an encryption dictionary. Length 0 means the dictionary is not supported.
struct TSmartPDFEncryption {
  int32_t Length = 0;  // key length in bits
  int32_t R = 0;
  int32_t V = 0;
  std::string O;
  std::string U;
  int32_t P = 0;
  // /EncryptMetadata; false enters the file key only at /R 4 and above.
  bool EncryptMetadata = true;
};

// Reads /P. Some producers write it as an unsigned 32-bit number (4294967252 for -44);
// a value in 2^31 .. 2^32-1 is taken as the same 32 bits. Anything not a number reads as 0.
// Every reader of /P goes through here.
int32_t ReadPermissionValue(const TPDFObject* value);

// Reads an encryption dictionary from its direct entries: only /Filter /Standard with /V 1
// or 2 and /R 2 or 3 fills the record, anything else gives the empty record. The key length
// is 40 at /V 1 and /Length at /V 2, where a missing /Length means the format's default, 40.
TSmartPDFEncryption ReadEncryption(const TPDFDictionary* dictionary);

// The work state of the key computation.
struct TSecurityWork {
  std::string OwnerPassword;
  std::string UserPassword;
  std::string WorkO;
  std::string WorkU;
  std::string ComputedKey;
  std::string FileID;     // first element of the file's /ID
  int32_t PermValue = 0;  // rebuilt from the rights; enters the key
  uint8_t LowRights = 0;
  uint8_t HighRights = 0;
  bool Is128 = false;
  bool PermIs16Bit = false;
  // False for a revision 4 file whose metadata stays in clear: the file key then hashes four
  // 0xFF bytes after the file identifier. Always true at revisions 2 and 3.
  bool EncryptMetadata = true;
};

// Sets LowRights, HighRights and PermIs16Bit from a file's /P.
void TakeFilePermissions(TSecurityWork& work, int32_t p);
// PermValue from the rights: -4, minus the bits of the rights not granted.
void RebuildPermValue(TSecurityWork& work);
// Computes WorkO (when empty), the file key into ComputedKey, and WorkU.
void ComputeKeys(TSecurityWork& work);
// Password checks against the file's entries; ComputedKey then holds the file key.
// The caller handles files that are not encrypted. Revision 4 checks as revision 3, with
// EncryptMetadata taken from the record.
bool CheckUserPassword(TSecurityWork& work, const TSmartPDFEncryption& encryption, const std::string& password);
bool CheckOwnerPassword(TSecurityWork& work, const TSmartPDFEncryption& encryption, const std::string& password);

// Key of one object: MD5 of the file key, three bytes of the object number and two of the
// generation, cut to min(file key length + 5, 16) bytes.
std::string ObjectKey(const std::string& fileKey, int32_t objNum, int32_t genNum);
// RC4 over every string and stream data inside the value, each once; a stream's /Length
// becomes the direct number of its data length. References are not followed.
void CryptValue(const std::string& key, TPDFObject* value);

// The packed permission value: flags in the low byte, a check byte (low byte XOR 0xCD)
// in bits 16 to 23. An argument grants its right only when it equals 1.
int32_t Permissions(int32_t print, int32_t copy, int32_t modify, int32_t annotate, int32_t fillForms,
                    int32_t accessibility, int32_t assemble, int32_t highQualityPrint);
// Splits a packed value into rights; false when its check byte does not match.
bool UnpackPermissions(int32_t packed, uint8_t& lowRights, uint8_t& highRights);

// The standard security handler as the direct-access engine holds it.
class TSmartPDFCrypt : public TSecurityWork {
 public:
  TSmartPDFCrypt(const TSmartPDFEncryption& encryption, const std::string& fileID, uint8_t state);

  // Sets up the encryption of a new file; afterwards WorkO, WorkU, PermValue and FileKey are set.
  void Prepare(const std::string& ownerPassword, const std::string& userPassword, bool is128, uint8_t lowRights,
               uint8_t highRights);
  bool CheckUserPassword(const std::string& password);
  bool CheckOwnerPassword(const std::string& password);
  // On a password that checks: StoredPassword "!" + password and FileKey set; else StoredPassword empty.
  void RememberPassword(const std::string& password);
  std::string ObjectKey(int32_t objNum, int32_t genNum) const { return ::ObjectKey(FileKey, objNum, genNum); }
  static void CryptValue(const std::string& key, TPDFObject* value) { ::CryptValue(key, value); }

  std::string FileKey;
  std::string StoredPassword;
  TSmartPDFEncryption Encryption;
  uint8_t State = 0;  // 0 not encrypted, 1 standard handler, 2 another method
};
