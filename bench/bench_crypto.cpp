// RC4 and MD5 throughput beside OpenSSL's EVP implementations of the same algorithms,
// measured in the same run: each iteration runs ours and then OpenSSL's on the same bytes,
// and the counters give both in MB/s and their ratio (ours / OpenSSL's, above 1 is faster).
// OpenSSL is linked into this benchmark only; RC4 comes from its legacy provider.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <chrono>
#include <string>

#include "uPDFDigest.h"
#include "uPDFEncrypt.h"

namespace {

std::string Data(size_t n) {
  std::string s(n, '\0');
  uint32_t seed = 7;
  for (char& c : s) c = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
  return s;
}

template <class Ours, class Theirs>
void Paired(benchmark::State& state, size_t bytes, Ours ours, Theirs theirs) {
  using Clock = std::chrono::steady_clock;
  double oursSeconds = 0, theirsSeconds = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    ours();
    auto t1 = Clock::now();
    theirs();
    auto t2 = Clock::now();
    oursSeconds += std::chrono::duration<double>(t1 - t0).count();
    theirsSeconds += std::chrono::duration<double>(t2 - t1).count();
  }
  const double mb = static_cast<double>(bytes) * static_cast<double>(state.iterations()) / 1e6;
  state.counters["ours_MBps"] = mb / oursSeconds;
  state.counters["openssl_MBps"] = mb / theirsSeconds;
  state.counters["ratio"] = theirsSeconds / oursSeconds;
}

// RC4 with a fresh key schedule per buffer on both sides, as the object keys are used.
void BM_RC4(benchmark::State& state) {
  static OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
  static OSSL_PROVIDER* deflt = OSSL_PROVIDER_load(nullptr, "default");
  (void)legacy;
  (void)deflt;
  EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
  if (!cipher) {
    state.SkipWithError("RC4 is not available in this OpenSSL");
    return;
  }
  const size_t size = static_cast<size_t>(state.range(0));
  const std::string key = "0123456789abcdef";
  std::string ours = Data(size), theirs = ours;
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  auto openssl = [&] {
    int n = 0;
    EVP_EncryptInit_ex(ctx, cipher, nullptr, reinterpret_cast<const unsigned char*>(key.data()), nullptr);
    EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(theirs.data()), &n,
                      reinterpret_cast<const unsigned char*>(theirs.data()), static_cast<int>(theirs.size()));
    benchmark::DoNotOptimize(theirs.data());
  };
  // Both sides must produce the same key stream.
  openssl();
  RC4Crypt(key, ours);
  if (ours != theirs) state.SkipWithError("RC4 output differs from OpenSSL's");
  Paired(
      state, size,
      [&] {
        RC4Crypt(key, ours);
        benchmark::DoNotOptimize(ours.data());
      },
      openssl);
  EVP_CIPHER_CTX_free(ctx);
  EVP_CIPHER_free(cipher);
}

void BM_MD5(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  const std::string data = Data(size);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_MD* md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
  auto openssl = [&] {
    EVP_Digest(data.data(), data.size(), digest, &length, md5, nullptr);
    benchmark::DoNotOptimize(digest);
  };
  openssl();
  if (MD5Digest(data) != std::string(reinterpret_cast<char*>(digest), length))
    state.SkipWithError("MD5 differs from OpenSSL's");
  Paired(state, size, [&] { benchmark::DoNotOptimize(MD5Digest(data)); }, openssl);
  EVP_MD_free(md5);
}

}  // namespace

// 64 bytes: the key derivation's inputs and short strings; 4 KiB: a typical stream; 1 MiB: bulk data.
BENCHMARK(BM_RC4)->Arg(64)->Arg(4 << 10)->Arg(1 << 20);
BENCHMARK(BM_MD5)->Arg(64)->Arg(4 << 10)->Arg(1 << 20);
