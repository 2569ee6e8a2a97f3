// Flate throughput beside plain zlib on the same data in the same run.
// BM_Inflate reports our DecompressFlate and zlib's uncompress (into a buffer of the known
// size, its best case) as MB/s counters and their ratio; BM_Deflate does the same for
// CompressFlate against compress2 at the default level.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <string>

#include "uPDFFlate.h"

namespace {

// About 4 MB resembling a PDF's streams: page content operators, an 8-bit image with smooth
// gradients and noise, and high-entropy font-like bytes.
std::string MixedContent() {
  std::string s;
  uint32_t seed = 2024;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  while (s.size() < (4u << 20)) {
    const uint32_t kind = next() % 10;
    if (kind < 6) {
      for (int i = 0; i < 200; ++i)
        s += "BT /F" + std::to_string(next() % 4) + " " + std::to_string(8 + next() % 6) + " Tf " +
             std::to_string(next() % 600) + " " + std::to_string(next() % 800) + " Td (Word " +
             std::to_string(next() % 5000) + " of running text) Tj ET\n";
    } else if (kind < 9) {
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) s.push_back(static_cast<char>(x + y + (next() >> 30)));
    } else {
      for (int i = 0; i < 4096; ++i) s.push_back(static_cast<char>(next() >> 24));
    }
  }
  return s;
}

const std::string& Plain() {
  static const std::string data = MixedContent();
  return data;
}

const std::string& Packed() {
  static const std::string data = CompressFlate(Plain());
  return data;
}

std::string ZlibUncompress(const std::string& packed, size_t size) {
  std::string out(size, '\0');
  uLongf outSize = size;
  uncompress(reinterpret_cast<Bytef*>(out.data()), &outSize, reinterpret_cast<const Bytef*>(packed.data()),
             packed.size());
  out.resize(outSize);
  return out;
}

std::string ZlibCompress(const std::string& plain) {
  uLongf size = compressBound(plain.size());
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(plain.data()), plain.size(),
            Z_DEFAULT_COMPRESSION);
  out.resize(size);
  return out;
}

template <class Ours, class Theirs>
void Paired(benchmark::State& state, size_t bytes, Ours ours, Theirs theirs) {
  using Clock = std::chrono::steady_clock;
  double oursSeconds = 0, theirsSeconds = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    benchmark::DoNotOptimize(ours());
    auto t1 = Clock::now();
    benchmark::DoNotOptimize(theirs());
    auto t2 = Clock::now();
    oursSeconds += std::chrono::duration<double>(t1 - t0).count();
    theirsSeconds += std::chrono::duration<double>(t2 - t1).count();
  }
  const double mb = static_cast<double>(bytes) * state.iterations() / 1e6;
  state.counters["ours_MBps"] = mb / oursSeconds;
  state.counters["zlib_MBps"] = mb / theirsSeconds;
  state.counters["ratio"] = theirsSeconds / oursSeconds;  // our throughput / zlib's
}

void BM_Inflate(benchmark::State& state) {
  const std::string& packed = Packed();
  const size_t size = Plain().size();
  if (DecompressFlate(packed) != Plain()) state.SkipWithError("round trip failed");
  Paired(state, size, [&] { return DecompressFlate(packed); }, [&] { return ZlibUncompress(packed, size); });
  state.counters["input_ratio"] = static_cast<double>(size) / packed.size();
}
BENCHMARK(BM_Inflate)->Unit(benchmark::kMillisecond);

void BM_Deflate(benchmark::State& state) {
  const std::string& plain = Plain();
  Paired(state, plain.size(), [&] { return CompressFlate(plain); }, [&] { return ZlibCompress(plain); });
}
BENCHMARK(BM_Deflate)->Unit(benchmark::kMillisecond);

}  // namespace
