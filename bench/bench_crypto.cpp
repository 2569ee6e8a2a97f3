// RC4 and MD5 throughput beside OpenSSL's EVP implementations of the same algorithms,
// measured in the same run. OpenSSL is linked into this benchmark only.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <string>

#include "uPDFDigest.h"
#include "uPDFEncrypt.h"

namespace {

std::string Data(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 131 + (i >> 9));
  return s;
}

void OursRC4(benchmark::State& state) {
  std::string data = Data(static_cast<size_t>(state.range(0)));
  const std::string key = "0123456789abcdef";
  for (auto _ : state) {
    RC4Crypt(key, data);
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void OpenSslRC4(benchmark::State& state) {
  static OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
  static OSSL_PROVIDER* deflt = OSSL_PROVIDER_load(nullptr, "default");
  (void)legacy;
  (void)deflt;
  std::string data = Data(static_cast<size_t>(state.range(0)));
  std::string out(data.size(), '\0');
  const unsigned char key[16] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
  if (!cipher) {
    state.SkipWithError("RC4 not available in OpenSSL");
    return;
  }
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  for (auto _ : state) {
    // A fresh key schedule per buffer, as RC4Crypt does.
    EVP_EncryptInit_ex(ctx, cipher, nullptr, key, nullptr);
    int n = 0;
    EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n,
                      reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    benchmark::DoNotOptimize(out.data());
  }
  EVP_CIPHER_CTX_free(ctx);
  EVP_CIPHER_free(cipher);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void OursMD5(benchmark::State& state) {
  std::string data = Data(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(MD5Digest(data));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void OpenSslMD5(benchmark::State& state) {
  std::string data = Data(static_cast<size_t>(state.range(0)));
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  for (auto _ : state) {
    EVP_Digest(data.data(), data.size(), digest, &len, EVP_md5(), nullptr);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

// 64 bytes: the key derivation's short inputs; 1 MiB: stream data.
BENCHMARK(OursRC4)->Arg(1 << 20);
BENCHMARK(OpenSslRC4)->Arg(1 << 20);
BENCHMARK(OursMD5)->Arg(64)->Arg(1 << 20);
BENCHMARK(OpenSslMD5)->Arg(64)->Arg(1 << 20);
