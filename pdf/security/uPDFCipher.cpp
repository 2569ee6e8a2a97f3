// AES, SHA-2 and random bytes over OpenSSL's EVP interfaces. Padding is always switched off
// in OpenSSL and done here, so that damaged data decrypts as far as it can.
#include "uPDFCipher.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>
#include <random>

namespace {

enum class TMode { CBC, ECB };

const EVP_CIPHER* Cipher(size_t keySize, TMode mode) {
  if (keySize == 16) return mode == TMode::CBC ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
  if (keySize == 32) return mode == TMode::CBC ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
  return nullptr;
}

// AES over whole blocks without padding; false on a wrong key or IV size or a failure of
// OpenSSL. An empty input gives an empty output.
bool RunAES(const std::string& key, const std::string& iv, TMode mode, bool encrypt, const char* in, size_t size,
            std::string& out) {
  out.clear();
  const EVP_CIPHER* cipher = Cipher(key.size(), mode);
  if (!cipher || size % kAESBlock != 0) return false;
  if (mode == TMode::CBC && iv.size() != kAESBlock) return false;
  if (size == 0) return true;
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  if (!ctx) return false;
  const auto* k = reinterpret_cast<const unsigned char*>(key.data());
  const auto* v = mode == TMode::CBC ? reinterpret_cast<const unsigned char*>(iv.data()) : nullptr;
  if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, k, v, encrypt ? 1 : 0) != 1) return false;
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  out.resize(size);
  int written = 0, last = 0;
  auto* o = reinterpret_cast<unsigned char*>(out.data());
  if (EVP_CipherUpdate(ctx.get(), o, &written, reinterpret_cast<const unsigned char*>(in), static_cast<int>(size)) != 1 ||
      EVP_CipherFinal_ex(ctx.get(), o + written, &last) != 1 || static_cast<size_t>(written + last) != size) {
    out.clear();
    return false;
  }
  return true;
}

std::string Digest(const EVP_MD* md, const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, md, nullptr) != 1) return std::string();
  return std::string(reinterpret_cast<const char*>(digest), size);
}

// OpenSSL's generator; should it ever fail, the system's nondeterministic device fills in.
void DefaultRandom(uint8_t* bytes, size_t count) {
  if (count == 0) return;
  if (RAND_bytes(bytes, static_cast<int>(count)) == 1) return;
  std::random_device device;
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(device());
}

TRandomSource& CurrentRandom() {
  static TRandomSource source = DefaultRandom;
  return source;
}

}  // namespace

std::string AESEncryptCBC(const std::string& key, const std::string& iv, const std::string& plain) {
  if (iv.size() != kAESBlock) return std::string();
  const size_t pad = kAESBlock - plain.size() % kAESBlock;  // 1 .. 16, a whole block when aligned
  std::string padded = plain;
  padded.append(pad, static_cast<char>(pad));
  std::string cipher;
  if (!RunAES(key, iv, TMode::CBC, true, padded.data(), padded.size(), cipher)) return std::string();
  return iv + cipher;
}

bool AESDecryptCBC(const std::string& key, const std::string& data, std::string& plain) {
  plain.clear();
  if (data.size() < kAESBlock || !Cipher(key.size(), TMode::CBC)) return false;
  const std::string iv = data.substr(0, kAESBlock);
  const size_t size = data.size() - kAESBlock;
  const size_t whole = size - size % kAESBlock;  // a broken last block cannot be decrypted
  if (whole == 0) return false;                  // no block, so not even the padding
  if (!RunAES(key, iv, TMode::CBC, false, data.data() + kAESBlock, whole, plain)) return false;
  const auto pad = static_cast<uint8_t>(plain.back());
  bool padded = pad >= 1 && pad <= kAESBlock;
  for (size_t i = plain.size() - (padded ? pad : 0); padded && i < plain.size(); ++i)
    padded = static_cast<uint8_t>(plain[i]) == pad;
  if (padded) plain.resize(plain.size() - pad);
  return padded && whole == size;
}

std::string AESEncryptCBCNoPadding(const std::string& key, const std::string& iv, const std::string& data) {
  std::string out;
  RunAES(key, iv, TMode::CBC, true, data.data(), data.size(), out);
  return out;
}

std::string AESDecryptCBCNoPadding(const std::string& key, const std::string& iv, const std::string& data) {
  std::string out;
  RunAES(key, iv, TMode::CBC, false, data.data(), data.size(), out);
  return out;
}

std::string AESEncryptECB(const std::string& key, const std::string& data) {
  std::string out;
  RunAES(key, std::string(), TMode::ECB, true, data.data(), data.size(), out);
  return out;
}

std::string AESDecryptECB(const std::string& key, const std::string& data) {
  std::string out;
  RunAES(key, std::string(), TMode::ECB, false, data.data(), data.size(), out);
  return out;
}

std::string SHA256Digest(const std::string& bytes) { return Digest(EVP_sha256(), bytes); }
std::string SHA384Digest(const std::string& bytes) { return Digest(EVP_sha384(), bytes); }
std::string SHA512Digest(const std::string& bytes) { return Digest(EVP_sha512(), bytes); }

void SetRandomSource(TRandomSource source) { CurrentRandom() = source ? std::move(source) : DefaultRandom; }

std::string RandomBytes(size_t count) {
  std::string bytes(count, '\0');
  if (count) CurrentRandom()(reinterpret_cast<uint8_t*>(bytes.data()), count);
  return bytes;
}
