#include <gtest/gtest.h>

#include "uPDFDigest.h"
#include "uPDFEncrypt.h"

namespace {

std::string Hex(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string s;
  for (unsigned char c : bytes) {
    s += kHex[c >> 4];
    s += kHex[c & 15];
  }
  return s;
}

std::string Unhex(const std::string& hex) {
  std::string s;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) s += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return s;
}

}  // namespace

TEST(MD5, MatchesTheRfc1321TestSuite) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [input, digest] : cases) {
    EXPECT_EQ(MD5Hex(input), digest) << input;
    EXPECT_EQ(Hex(MD5Digest(input)), digest) << input;
  }
}

TEST(MD5, GivesTheSameDigestWhateverTheUpdatePieces) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 7);
  const std::string whole = MD5Digest(data);
  for (size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 999u}) {
    TMD5 md5;
    for (size_t at = 0; at < data.size(); at += piece) md5.Update(data.substr(at, piece));
    EXPECT_EQ(md5.Final(), whole) << piece;
  }
}

TEST(RC4, MatchesTheRfc6229KeyStreams) {
  struct Case {
    const char* key;
    const char* at0;
    const char* at4096;
  } cases[] = {
      {"0102030405", "b2396305f03dc027ccc3524a0a1118a8", "ff25b58995996707e51fbdf08b34d875"},
      {"01020304050607", "293f02d47f37c9b633f2af5285feb46b", "e74b0b9731227fd37c0ec08a47ddd8b8"},
      {"0102030405060708", "97ab8a1bf0afb96132f2f67258da15a8", "3fb46e2c8f0f068edce8cdcd7dfc5862"},
      {"0102030405060708090a", "ede3b04643e586cc907dc21851709902", "08b6be45124a43e2eb77953f84dc8553"},
      {"0102030405060708090a0b0c0d0e0f10", "9ac7cc9a609d1ef7b2932899cde41b97", "a36a4c301ae8ac13610ccbc12256cacc"},
      {"833222772a", "80ad97bdc973df8a2e879e92a497efda", "bf42c3018c2f7c66bfde524975768115"},
      {"c109163908ebe51debb46227c6cc8b37641910833222772a", "54b64e6b5a20b5e2ec84593dc7989da7",
       "e4dd2e98d6960fae0b43545456743391"},
  };
  for (const Case& c : cases) {
    std::string stream = RC4(Unhex(c.key), std::string(4112, '\0'));
    EXPECT_EQ(Hex(stream.substr(0, 16)), c.at0) << c.key;
    EXPECT_EQ(Hex(stream.substr(4096, 16)), c.at4096) << c.key;
  }
}

TEST(RC4, IsItsOwnInverseInPlaceAndInPieces) {
  const std::string key = "secret key";
  std::string data = "The quick brown fox jumps over the lazy dog, twice over.";
  const std::string copy = RC4(key, data);
  RC4Crypt(key, data);
  EXPECT_EQ(data, copy);
  // Applying the key stream in pieces gives the same bytes as in one go.
  std::string pieces = "The quick brown fox jumps over the lazy dog, twice over.";
  TRC4 rc4(key);
  rc4.Apply(reinterpret_cast<uint8_t*>(pieces.data()), 7);
  rc4.Apply(reinterpret_cast<uint8_t*>(pieces.data()) + 7, pieces.size() - 7);
  EXPECT_EQ(pieces, copy);
  RC4Crypt(key, data);
  EXPECT_EQ(data, "The quick brown fox jumps over the lazy dog, twice over.");
}
