#pragma once
// The recovery scan of a file whose cross-reference data cannot be used (missing, unreadable,
// or naming offsets that do not hold the objects they say): one linear pass over the bytes
// that finds every object head "n g obj", every "trailer" keyword, and which objects are a
// catalog, a cross-reference stream or an object stream. Both readers (the direct-access
// engine and the document model) rebuild what they need from it.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "uPlatformFile.h"

class TPDFFileScan {
 public:
  enum : uint8_t { kPlain = 0, kCatalog = 1, kXRefStream = 2, kObjectStream = 3 };

  struct TObjectAt {
    int32_t Num = 0;
    int32_t Gen = 0;
    int64_t Offset = 0;  // of the head's first digit
    uint8_t Kind = kPlain;
  };

  // Where a trailer may be read: after a "trailer" keyword, or the dictionary of a
  // cross-reference stream (the offset of its object's head).
  struct TTrailerSource {
    int64_t Offset = 0;
    bool IsStream = false;
  };
  // The trailer keys a rebuilt trailer takes, each from the newest trailer that has it.
  static constexpr const char* kTrailerKeys[] = {"Size", "Root", "Info", "ID", "Encrypt"};

  // Scans the whole source at once.
  explicit TPDFFileScan(const platform::TByteSource& file);

  // Every object head in file order (a number defined twice appears twice).
  const std::vector<TObjectAt>& Objects() const { return FObjects; }
  // Offsets of the "trailer" keywords, in file order.
  const std::vector<int64_t>& Trailers() const { return FTrailers; }
  // Every place a trailer may be read, newest (last in the file) first.
  std::vector<TTrailerSource> TrailerSources() const;
  // The objects whose /Type is /Catalog, newest first: candidates for a /Root no trailer gives.
  std::vector<TObjectAt> CatalogsNewestFirst() const;
  // The last definition of a number in the file (as an incremental update has it); none when
  // the number has no head anywhere.
  const TObjectAt* Find(int32_t objNum) const;
  // The offset of the first object head after offset, or the file's size when there is none.
  int64_t NextObjectAfter(int64_t offset) const;
  int64_t FileSize() const { return FSize; }

 private:
  void ScanChunk(const std::string& bytes, int64_t origin, size_t from, size_t to);
  uint8_t KindAt(const std::string& bytes, size_t valueStart) const;

  std::vector<TObjectAt> FObjects;
  std::vector<int64_t> FTrailers;
  std::unordered_map<int32_t, size_t> FLast;  // number -> index of its last head in FObjects
  int64_t FSize = 0;
};
