#include "uPDFEncrypt.h"

TRC4::TRC4(const std::string& key) {
  for (uint32_t i = 0; i < 256; ++i) FState[i] = i;
  const size_t n = key.empty() ? 1 : (key.size() > 256 ? 256 : key.size());
  uint32_t j = 0;
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t k = key.empty() ? 0 : static_cast<uint8_t>(key[i % n]);
    j = (j + FState[i] + k) & 0xFF;
    uint32_t t = FState[i];
    FState[i] = FState[j];
    FState[j] = t;
  }
}

void TRC4::Apply(uint8_t* data, size_t length) {
  uint32_t i = FI, j = FJ;
  uint32_t* s = FState;
  // Four bytes per turn keeps the loop overhead low; the dependency chain through j stays.
  auto next = [&]() -> uint8_t {
    i = (i + 1) & 0xFF;
    uint32_t si = s[i];
    j = (j + si) & 0xFF;
    uint32_t sj = s[j];
    s[i] = sj;
    s[j] = si;
    return static_cast<uint8_t>(s[(si + sj) & 0xFF]);
  };
  size_t k = 0;
  for (; k + 4 <= length; k += 4) {
    data[k] ^= next();
    data[k + 1] ^= next();
    data[k + 2] ^= next();
    data[k + 3] ^= next();
  }
  for (; k < length; ++k) data[k] ^= next();
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
