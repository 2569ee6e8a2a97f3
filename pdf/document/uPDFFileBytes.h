#pragma once
// The bytes of a loaded file: either held in memory, or read on demand from the open file
// (so that loading a large file costs neither its size in memory nor the time to copy it).
// A file read on demand is read through its open handle for the life of the document;
// replacing the file on disk (a new file renamed over it) does not change what is read.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "uPlatformFile.h"

class TPDFFileBytes final : public platform::TByteSource {
 public:
  // Random access to the bytes of an open file.
  using TSource = platform::TByteSource;

  // Reads of at most this many bytes go through a read-ahead window of kWindowSize bytes.
  static constexpr int64_t kWindowSize = 64 * 1024;
  static constexpr int64_t kSmallRead = 16 * 1024;

  TPDFFileBytes() = default;
  TPDFFileBytes(TPDFFileBytes&&) noexcept = default;
  TPDFFileBytes& operator=(TPDFFileBytes&&) noexcept = default;

  void Clear();
  void Assign(std::string bytes);
  void Attach(std::unique_ptr<TSource> source);

  int64_t Size() const override { return FSize; }
  // The bytes as a byte source of their own, for readers that take one (the recovery scan,
  // the direct-access reader that checks a saved copy against its source).
  int64_t ReadAt(int64_t position, char* target, int64_t count) const override;
  using platform::TByteSource::Read;
  bool Empty() const { return FSize == 0; }
  bool InMemory() const { return !FSource; }
  // The bytes when they are held in memory (empty otherwise).
  const std::string& Memory() const { return FMemory; }
  // False when the file read on demand is no longer as it was attached (another program
  // wrote it); bytes in memory never change.
  bool Unchanged() const;

  // Up to count bytes from position (a negative position reads from 0; cut at the end).
  // Held in memory: a view of them, buffer untouched. Read from a file: the bytes are read
  // into buffer and the view shows buffer, so it stays valid while buffer is left alone.
  std::string_view Read(int64_t position, int64_t count, std::string& buffer) const;
  // The same bytes as a string of their own.
  std::string Copy(int64_t position, int64_t count) const;

 private:
  std::string FMemory;
  std::unique_ptr<TSource> FSource;
  int64_t FSize = 0;
  platform::TFileStamp FStamp;  // the source's stamp when it was attached
  bool FStamped = false;
  // Read-ahead window over a source: FWindow holds the bytes from FWindowStart.
  mutable std::string FWindow;
  mutable int64_t FWindowStart = -1;
};
