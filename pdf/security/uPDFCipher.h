#pragma once
// The block cipher, digests and random bytes of the AES security handlers, all through
// OpenSSL's libcrypto (EVP). MD5 and RC4 stay in uPDFDigest.h and uPDFEncrypt.h.
//
// AESEncryptCBC            IV + AES-CBC of the data with PKCS#5 padding (strings and streams)
// AESDecryptCBC            the inverse: IV taken from the first 16 bytes, padding stripped;
//                          tolerant of damaged data, false when the data was not well formed
// AESEncryptCBCNoPadding   AES-CBC of whole blocks with a given IV, nothing added
// AESDecryptCBCNoPadding   its inverse
// AESEncryptECB            AES-ECB of whole blocks, nothing added
// AESDecryptECB            its inverse
// SHA256Digest / SHA384Digest / SHA512Digest   one-shot digests as 32, 48 and 64 bytes
// RandomBytes              bytes from the current random source
// SetRandomSource          replaces the random source (tests fix it); empty restores the default
//
// Keys are 16 bytes (AES-128) or 32 bytes (AES-256); any other key length gives an empty
// result (and false from AESDecryptCBC).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

constexpr size_t kAESBlock = 16;

// The IV (16 bytes) followed by the AES-CBC encryption of plain with PKCS#5 padding: 1 to 16
// bytes, each holding the number of bytes added. Empty when the key or the IV has a wrong size.
std::string AESEncryptCBC(const std::string& key, const std::string& iv, const std::string& plain);

// Decrypts data = IV (16 bytes) + ciphertext into plain and strips the padding. True when the
// data was well formed. Otherwise plain holds what could be decrypted and the result is false,
// so the caller may warn:
//  - data shorter than 16 bytes, an IV alone, or a wrong key size: plain is empty;
//  - a ciphertext that is not a whole number of blocks: the whole blocks are decrypted, the
//    bytes of the broken last block are dropped, and a valid padding is still stripped;
//  - a padding that does not read as 1 to 16 bytes of its own count: every decrypted byte is kept.
bool AESDecryptCBC(const std::string& key, const std::string& data, std::string& plain);

// AES-CBC over data that is a whole number of blocks, with the given 16-byte IV and no
// padding. Empty when data is not whole blocks or the key or IV has a wrong size.
std::string AESEncryptCBCNoPadding(const std::string& key, const std::string& iv, const std::string& data);
std::string AESDecryptCBCNoPadding(const std::string& key, const std::string& iv, const std::string& data);

// AES-ECB over data that is a whole number of blocks, no padding. Empty as above.
std::string AESEncryptECB(const std::string& key, const std::string& data);
std::string AESDecryptECB(const std::string& key, const std::string& data);

// SHA-2 digests of the bytes.
std::string SHA256Digest(const std::string& bytes);
std::string SHA384Digest(const std::string& bytes);
std::string SHA512Digest(const std::string& bytes);

// Fills a buffer with random bytes.
using TRandomSource = std::function<void(uint8_t* bytes, size_t count)>;
// The default source is OpenSSL's RAND_bytes. Not safe to call while another thread draws.
void SetRandomSource(TRandomSource source);
// count bytes from the current source.
std::string RandomBytes(size_t count);
