#include "uPDFFlate.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

// A zlib failure inside the compressor; it never leaves this unit.
class EZCompressionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr int kWindowBits = 15;  // zlib header and Adler-32 trailer
constexpr int kMemLevel = 8;

size_t RoundUp256(size_t n) {
  return (n + 255) & ~static_cast<size_t>(255);
}

// zlib counts in uInt; feed and drain at most this much per call so huge buffers stay exact.
constexpr size_t kMaxChunk = std::numeric_limits<uInt>::max();

uInt Chunk(size_t n) {
  return static_cast<uInt>(n < kMaxChunk ? n : kMaxChunk);
}

// The input and output of one zlib pass: points the stream at the unread input and the free
// output (doubling the output when it is full) and counts what each call moved.
class TZBuffers {
 public:
  TZBuffers(z_stream& zs, const std::string& in, size_t outSize, size_t limit = SIZE_MAX)
      : FZs(zs), FIn(in), FLimit(limit) {
    FOut.resize(std::min(outSize, limit));
  }

  // False when the output is full and may not grow any further.
  bool Point() {
    if (FOutPos == FOut.size()) {
      if (FOut.size() >= FLimit) return false;
      FOut.resize(FOut.size() <= FLimit / 2 ? FOut.size() * 2 : FLimit);
    }
    FZs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(FIn.data() + FInPos));
    FZs.avail_in = FInGiven = Chunk(FIn.size() - FInPos);
    FZs.next_out = reinterpret_cast<Bytef*>(FOut.data() + FOutPos);
    FZs.avail_out = FOutGiven = Chunk(FOut.size() - FOutPos);
    return true;
  }
  // Counts the last call's progress; false when it moved nothing.
  bool Advance() {
    const size_t consumed = FInGiven - FZs.avail_in, produced = FOutGiven - FZs.avail_out;
    FInPos += consumed;
    FOutPos += produced;
    return consumed != 0 || produced != 0;
  }
  bool InputDone() const { return FInPos == FIn.size(); }
  // True when `pending` bytes handed to the stream are the rest of the input.
  bool InputDoneAfter(size_t pending) const { return FInPos + pending == FIn.size(); }
  std::string Take() {
    FOut.resize(FOutPos);
    return std::move(FOut);
  }

 private:
  std::string FOut;
  z_stream& FZs;
  const std::string& FIn;
  const size_t FLimit;
  size_t FInPos = 0, FOutPos = 0;
  uInt FInGiven = 0, FOutGiven = 0;
};

std::string Deflate(const std::string& bytes) {
  z_stream zs;
  std::memset(&zs, 0, sizeof zs);
  int rc = deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kWindowBits, kMemLevel, Z_DEFAULT_STRATEGY);
  if (rc != Z_OK) throw EZCompressionError(zs.msg ? zs.msg : "deflateInit2 failed");
  struct TEnd {
    z_stream* s;
    ~TEnd() { deflateEnd(s); }
  } end{&zs};

  TZBuffers io(zs, bytes, bytes.size() + bytes.size() / 10 + 12);
  while (io.Point()) {
    // The input is handed over in uInt-sized pieces; Z_FINISH comes with the last one.
    rc = deflate(&zs, io.InputDoneAfter(zs.avail_in) ? Z_FINISH : Z_NO_FLUSH);
    const bool moved = io.Advance();
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK && rc != Z_BUF_ERROR) throw EZCompressionError(zs.msg ? zs.msg : "deflate failed");
    if (!moved && zs.avail_out != 0) throw EZCompressionError("deflate made no progress");
  }
  return io.Take();
}

}  // namespace

std::string CompressFlate(const std::string& bytes) {
  if (bytes.empty()) return {};
  try {
    return Deflate(bytes);
  } catch (const EZCompressionError&) {
    return {};
  } catch (const std::bad_alloc&) {
    return {};
  }
}

// Inflates until the end of the stream, a data error, or a point where inflate can make no
// further progress (truncated input, a preset dictionary it does not have). Whatever was
// inflated by then is the result; only a failure to get memory gives empty output.
std::string DecompressFlate(const std::string& bytes, size_t limit) {
  if (bytes.empty() || limit == 0) return {};
  z_stream zs;
  std::memset(&zs, 0, sizeof zs);
  if (inflateInit(&zs) != Z_OK) return {};
  struct TEnd {
    z_stream* s;
    ~TEnd() { inflateEnd(s); }
  } end{&zs};

  try {
    TZBuffers io(zs, bytes, RoundUp256(bytes.size()), limit);
    while (io.Point()) {
      const int rc = inflate(&zs, Z_NO_FLUSH);
      const bool moved = io.Advance();
      if (rc == Z_STREAM_END || rc == Z_DATA_ERROR || rc == Z_NEED_DICT) break;
      if (rc == Z_MEM_ERROR) return {};
      if (rc != Z_OK && rc != Z_BUF_ERROR) break;
      // Room left for output means inflate wants more input: at the end of ours the stream
      // is truncated, and no progress at all means it is stuck.
      if (zs.avail_out != 0 && (io.InputDone() || !moved)) break;
    }
    return io.Take();
  } catch (const std::bad_alloc&) {
    return {};
  }
}

namespace {

// Undoes the TIFF predictor for 8-bit samples: within each complete row of `columns` pixels,
// each sample after the first pixel is a difference to the sample one pixel to its left.
// A trailing incomplete row is left as it is.
std::string UndoTiffPredictor(std::string data, int32_t colors, int32_t columns) {
  const size_t step = static_cast<size_t>(colors);
  const size_t rowLength = step * static_cast<size_t>(columns);
  const size_t rows = data.size() / rowLength;
  auto* p = reinterpret_cast<unsigned char*>(data.data());
  for (size_t r = 0; r < rows; ++r) {
    unsigned char* row = p + r * rowLength;
    for (size_t i = step; i < rowLength; ++i) row[i] = static_cast<unsigned char>(row[i] + row[i - step]);
  }
  return data;
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = p > a ? p - a : a - p;
  const int pb = p > b ? p - b : b - p;
  const int pc = p > c ? p - c : c - p;
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Undoes the PNG predictors for 8-bit samples: each row is a tag byte and `rowLength` bytes;
// the tag says how each byte was predicted from its left (a), upper (b) and upper-left (c)
// neighbours. An incomplete last row is dropped.
std::string UndoPngPredictor(const std::string& data, size_t step, size_t rowLength) {
  const size_t rows = data.size() / (rowLength + 1);
  std::string out(rows * rowLength, '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(data.data());
  auto* o = reinterpret_cast<unsigned char*>(out.data());
  for (size_t r = 0; r < rows; ++r) {
    const unsigned char tag = in[r * (rowLength + 1)];
    const unsigned char* src = in + r * (rowLength + 1) + 1;
    unsigned char* row = o + r * rowLength;
    const unsigned char* up = r > 0 ? row - rowLength : nullptr;
    for (size_t i = 0; i < rowLength; ++i) {
      const int a = i >= step ? row[i - step] : 0;
      const int b = up ? up[i] : 0;
      const int c = up && i >= step ? up[i - step] : 0;
      int predicted = 0;
      switch (tag) {
        case 1: predicted = a; break;
        case 2: predicted = b; break;
        case 3: predicted = (a + b) / 2; break;
        case 4: predicted = Paeth(a, b, c); break;
        default: break;  // 0 and unknown tags: the byte as it stands
      }
      row[i] = static_cast<unsigned char>(src[i] + predicted);
    }
  }
  return out;
}

constexpr int32_t kPredictorTiff = 2;
constexpr int32_t kPredictorPngFirst = 10;

}  // namespace

std::string DecompressFlatePredicted(const std::string& bytes, int32_t predictor, int32_t colors,
                                     int32_t bitsPerComponent, int32_t columns) {
  std::string data = DecompressFlate(bytes);
  // Rows are only defined for positive sizes whose product fits the 32-bit parameters.
  if (bitsPerComponent != 8 || colors < 1 || columns < 1) return data;
  const int64_t rowLength = static_cast<int64_t>(colors) * columns;
  if (rowLength > std::numeric_limits<int32_t>::max()) return data;
  try {
    if (predictor == kPredictorTiff) {
      if (colors != 1 && colors != 3 && colors != 4) return data;
      return UndoTiffPredictor(std::move(data), colors, columns);
    }
    if (predictor >= kPredictorPngFirst)
      return UndoPngPredictor(data, static_cast<size_t>(colors), static_cast<size_t>(rowLength));
  } catch (const std::bad_alloc&) {
    return {};
  }
  return data;
}
