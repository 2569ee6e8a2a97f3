#pragma once
// RC4 stream cipher. The same operation encrypts and decrypts.
#include <cstddef>
#include <cstdint>
#include <string>

class TRC4 {
 public:
  // Key schedule; only the first 256 bytes of the key count. An empty key is taken as one zero byte.
  explicit TRC4(const std::string& key);
  // XORs the next length bytes of the key stream into data.
  void Apply(uint8_t* data, size_t length);

 private:
  uint8_t FState[256];
  uint8_t FI = 0, FJ = 0;
};

// RC4(key, data) in place.
void RC4Crypt(const std::string& key, std::string& data);
// RC4(key, data) into a new buffer.
std::string RC4(const std::string& key, const std::string& data);
