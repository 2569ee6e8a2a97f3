#pragma once
// MD5 message digest (RFC 1321).
#include <cstddef>
#include <cstdint>
#include <string>

class TMD5 {
 public:
  TMD5();
  void Update(const void* data, size_t length);
  void Update(const std::string& bytes) { Update(bytes.data(), bytes.size()); }
  // The 16-byte digest; the context must not be updated afterwards.
  std::string Final();

 private:
  void Block(const uint8_t* block);
  uint32_t FState[4];
  uint64_t FLength = 0;  // bytes hashed so far
  uint8_t FBuffer[64];
};

// MD5 of the bytes as 16 bytes.
std::string MD5Digest(const std::string& bytes);
// MD5 of the bytes as 32 lowercase hexadecimal characters.
std::string MD5Hex(const std::string& bytes);
