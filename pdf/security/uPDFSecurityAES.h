#pragma once
// The AES revisions of the standard security handler, as pure functions of bytes: nothing
// here reads a file or a dictionary.
//
// Revision 4 (/V 4, crypt filters /AESV2, or /V2 for RC4) keeps the key derivation and the
// password checks of revision 3 (uPDFSecurity.h; TSecurityWork::EncryptMetadata adds the four
// 0xFF bytes when metadata stays in clear). What it adds:
//   ObjectKeyAES128        key of one object for AESV2: the revision 3 object key with "sAlT"
//   Utf8ToPdfDoc           a password typed as Unicode, as the PDFDocEncoding bytes that
//                          revisions 2 to 4 hash
//
// Revisions 5 and 6 (/V 5, /AESV3, a 32-byte file key used directly for every object):
//   PreparePasswordR6      a password as revisions 5 and 6 hash it: SASLprep, at most 127 bytes
//   PasswordHashR6         Algorithm 2.B at revision 6, one SHA-256 at revision 5
//   NewFileKeyR6           32 random bytes for a new file
//   ComputeUserEntriesR6   Algorithm 8: /U and /UE of a new file
//   ComputeOwnerEntriesR6  Algorithm 9: /O and /OE of a new file
//   ComputePermsR6         Algorithm 10: /Perms of a new file
//   CheckUserPasswordR6    Algorithm 11, then the file key from /UE (Algorithm 2.A, steps d-e)
//   CheckOwnerPasswordR6   Algorithm 12, then the file key from /OE (Algorithm 2.A, step c)
//   FileKeyR6              Algorithm 2.A: the owner check first, then the user check
//   ReadPermsR6            /Perms decrypted: its permission value and metadata flag
//   CheckPermsR6           Algorithm 13: /Perms agrees with /P and /EncryptMetadata
//
// Passwords passed to the revision 5 and 6 functions are prepared (PreparePasswordR6); they
// cut them to 127 bytes again, so an unprepared ASCII password works as well. Random bytes
// come from RandomBytes (uPDFCipher.h), which tests can fix.
#include <cstdint>
#include <string>

// ---- Revision 4 ----

// MD5 of the file key, three low bytes of the object number, two of the generation and the
// four bytes "sAlT", cut to min(file key length + 5, 16) bytes.
std::string ObjectKeyAES128(const std::string& fileKey, int32_t objNum, int32_t genNum);

// The PDFDocEncoding bytes of a UTF-8 text; false (bytes then incomplete) when the text is not
// UTF-8 or has a character without a PDFDocEncoding byte.
bool Utf8ToPdfDoc(const std::string& utf8, std::string& bytes);

// ---- Revisions 5 and 6 ----

constexpr size_t kMaxPasswordBytesR6 = 127;
constexpr size_t kFileKeyBytesR6 = 32;
constexpr size_t kSaltBytesR6 = 8;
constexpr size_t kEntryBytesR6 = 48;  // /O and /U: hash, validation salt, key salt

// SASLprep (stringprep profile of libidn) of a UTF-8 password, then its first 127 bytes.
// False, prepared empty, when the text is not UTF-8 or SASLprep refuses it (a prohibited
// character such as a control character, or wrong bidirectional text). Unassigned code
// points are let through, as for a query, so that a password prepares the same way when
// it is set and when it is checked.
bool PreparePasswordR6(const std::string& utf8, std::string& prepared);

// The 32-byte hash of a password with an 8-byte salt and, for the owner password, the 48-byte
// /U (userKey empty for the user password): Algorithm 2.B at revision 6, SHA-256 of the three
// at revision 5.
std::string PasswordHashR6(const std::string& password, const std::string& salt, const std::string& userKey,
                           int32_t r);

// A new 32-byte file key from the random source.
std::string NewFileKeyR6();

// /U (48 bytes) and /UE (32 bytes) from the user password and the file key; the two salts are
// drawn from the random source, the validation salt first.
void ComputeUserEntriesR6(const std::string& userPassword, const std::string& fileKey, int32_t r, std::string& u,
                          std::string& ue);
// /O (48 bytes) and /OE (32 bytes) from the owner password, the file key and the 48-byte /U.
void ComputeOwnerEntriesR6(const std::string& ownerPassword, const std::string& fileKey, const std::string& u,
                           int32_t r, std::string& o, std::string& oe);
// /Perms (16 bytes): P, its extension to 64 bits, 'T' or 'F', "adb" and four random bytes,
// under AES-256-ECB with the file key.
std::string ComputePermsR6(const std::string& fileKey, int32_t p, bool encryptMetadata);

// Password checks; on success fileKey holds the 32-byte file key, else it is empty. /U and /O
// must hold at least 48 bytes and /UE and /OE 32, or the check fails.
bool CheckUserPasswordR6(const std::string& password, const std::string& u, const std::string& ue, int32_t r,
                         std::string& fileKey);
bool CheckOwnerPasswordR6(const std::string& password, const std::string& o, const std::string& oe,
                          const std::string& u, int32_t r, std::string& fileKey);

// Which password a check accepted.
enum class TPasswordMatch : uint8_t { None, User, Owner };
// The owner check, then the user check; fileKey as above.
TPasswordMatch FileKeyR6(const std::string& password, const std::string& o, const std::string& oe,
                         const std::string& u, const std::string& ue, int32_t r, std::string& fileKey);

// Decrypts the first 16 bytes of /Perms with the file key; false when /Perms is shorter, or
// does not hold "adb" at bytes 9 to 11 (a wrong key), or byte 8 is neither 'T' nor 'F'.
bool ReadPermsR6(const std::string& fileKey, const std::string& perms, int32_t& p, bool& encryptMetadata);
// True when /Perms reads and its value and metadata flag equal the dictionary's /P and
// /EncryptMetadata.
bool CheckPermsR6(const std::string& fileKey, const std::string& perms, int32_t p, bool encryptMetadata);
