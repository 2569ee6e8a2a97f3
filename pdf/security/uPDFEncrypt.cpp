#include "uPDFEncrypt.h"

#include <cstring>

TRC4::TRC4(const std::string& key) {
  for (int i = 0; i < 256; ++i) FState[i] = static_cast<uint8_t>(i);
  const size_t n = key.empty() ? 0 : (key.size() > 256 ? 256 : key.size());
  uint8_t j = 0;
  size_t keyIndex = 0;  // i mod n, kept without a division per step
  for (int i = 0; i < 256; ++i) {
    const uint8_t k = n ? static_cast<uint8_t>(key[keyIndex]) : 0;
    if (n && ++keyIndex == n) keyIndex = 0;
    j = static_cast<uint8_t>(j + FState[i] + k);
    const uint8_t t = FState[i];
    FState[i] = FState[j];
    FState[j] = t;
  }
}

void TRC4::Apply(uint8_t* data, size_t length) {
  uint8_t i = FI, j = FJ;
  uint8_t* s = FState;
  auto next = [&]() -> uint64_t {
    i = static_cast<uint8_t>(i + 1);
    const uint8_t si = s[i];
    j = static_cast<uint8_t>(j + si);
    const uint8_t sj = s[j];
    s[i] = sj;
    s[j] = si;
    return s[static_cast<uint8_t>(si + sj)];
  };
  // Eight key-stream bytes are gathered into one word and XORed in one go (little-endian
  // order, so byte k of the word meets data byte k whatever the host's order is).
  size_t k = 0;
  for (; k + 8 <= length; k += 8) {
    uint64_t ks = next();
    ks |= next() << 8;
    ks |= next() << 16;
    ks |= next() << 24;
    ks |= next() << 32;
    ks |= next() << 40;
    ks |= next() << 48;
    ks |= next() << 56;
    uint8_t word[8];
    std::memcpy(word, data + k, 8);
    for (int b = 0; b < 8; ++b) word[b] ^= static_cast<uint8_t>(ks >> (8 * b));
    std::memcpy(data + k, word, 8);
  }
  for (; k < length; ++k) data[k] ^= static_cast<uint8_t>(next());
  FI = i;
  FJ = j;
}

void RC4Crypt(const std::string& key, std::string& data) {
  if (data.empty()) return;
  TRC4 rc4(key);
  rc4.Apply(reinterpret_cast<uint8_t*>(data.data()), data.size());
}

std::string RC4(const std::string& key, const std::string& data) {
  std::string out = data;
  RC4Crypt(key, out);
  return out;
}
