#pragma once
// Files for the library: positioned reads and writes, size and modification time, create,
// replace and delete, and the sharing modes the readers and writers ask for, mapped onto
// advisory locks (flock) so that files held by one part of the program are kept from the others:
//   read, all sharing     no lock
//   read, writers out     shared lock (a writer's exclusive lock then fails)
//   read-write exclusive  exclusive lock (any second locked open fails)
// Locks are taken without waiting: an open that cannot get its lock fails at once.
#include <cstdint>
#include <string>

#include "uPlatform.h"

namespace platform {

// What tells one state of a file's bytes from another: its size and its modification time.
struct TFileStamp {
  int64_t Size = -1;
  int64_t ModifiedNs = 0;  // nanoseconds since the epoch
  bool operator==(const TFileStamp& other) const = default;
};

// Random access to a run of bytes (an open file, or bytes in memory).
class TByteSource {
 public:
  virtual ~TByteSource() = default;
  virtual int64_t Size() const = 0;
  // The stamp of the bytes as they are now; false for a source that has none (memory, which
  // cannot change underneath its reader).
  virtual bool Stamp(TFileStamp& stamp) const {
    (void)stamp;
    return false;
  }
  // Reads up to count bytes at position into target; the number read (0 at the end or on error).
  virtual int64_t ReadAt(int64_t position, char* target, int64_t count) const = 0;
  // Up to count bytes from position, cut at the end; empty outside the source.
  std::string Read(int64_t position, int64_t count) const;
};

// Bytes held in memory, not owned: the caller keeps them alive while the source is used.
class TMemorySource final : public TByteSource {
 public:
  TMemorySource(const char* data, size_t size) : FData(data), FSize(static_cast<int64_t>(size)) {}
  int64_t Size() const override { return FSize; }
  int64_t ReadAt(int64_t position, char* target, int64_t count) const override;

 private:
  const char* FData;
  int64_t FSize;
};

enum class TFileShare : uint8_t {
  ReadShared,          // read only; others may read and write
  ReadDenyWrite,       // read only; other writers locked out
  ReadWriteExclusive,  // read and write; every other locked open fails
};

class TFile final : public TByteSource {
 public:
  TFile() = default;
  ~TFile() override;
  TFile(TFile&& other) noexcept;
  TFile& operator=(TFile&& other) noexcept;
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  // Opens an existing file. ReadWriteExclusive falls back to a read-only open under the same
  // exclusive lock when the file may be read but not written (see ReadOnly).
  bool Open(const std::string& fileName, TFileShare share);
  // Creates the file, or empties an existing one, for reading and writing under an exclusive lock.
  // Fails when another open holds a lock on it.
  bool Create(const std::string& fileName);
  void Close();

  bool IsOpen() const { return FHandle >= 0; }
  // True when a read-write open had to fall back to reading only.
  bool ReadOnly() const { return FReadOnly; }
  int Handle() const { return FHandle; }

  int64_t Size() const override;
  bool Stamp(TFileStamp& stamp) const override;
  int64_t ReadAt(int64_t position, char* target, int64_t count) const override;
  // Writes all bytes at the current end of what this object wrote; false on any failure.
  bool Write(const char* data, size_t count);
  bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }
  // Bytes written so far through Write.
  int64_t Position() const { return FPosition; }
  // Flushes the written bytes to the disk.
  bool Flush();
  // For a file that will be flushed when complete: starts writing each run of bytes to the
  // disk as soon as it is written, so the final Flush has little left to wait for.
  void WriteBackEarly() { FWriteBackEarly = true; }

 private:
  void StartWriteBack();

  int FHandle = -1;
  bool FReadOnly = false;
  bool FWriteBackEarly = false;
  int64_t FPosition = 0;
  int64_t FWrittenBack = 0;  // bytes whose writing to the disk has been started
};

bool FileExists(const std::string& fileName);
// Size in bytes, or -1 when the file cannot be found.
int64_t FileSize(const std::string& fileName);
// Last modification as local date and time; false when the file cannot be found.
bool FileModified(const std::string& fileName, TDateTime& modified);
// Deletes the file; refused (false) while any locked open holds it, or when it cannot be removed.
bool DeleteFile(const std::string& fileName);
// True when both names lead to the same existing file (same device and inode).
bool SameFile(const std::string& first, const std::string& second);

// Writes a new version of a file safely: the bytes go to a temporary file in the target's
// folder, and Commit renames it over the target only once all of it is written and flushed.
// Without a successful Commit the temporary file is removed and the target stays as it was.
class TReplaceFile {
 public:
  explicit TReplaceFile(std::string target);
  ~TReplaceFile();
  TReplaceFile(const TReplaceFile&) = delete;
  TReplaceFile& operator=(const TReplaceFile&) = delete;

  // Creates the temporary file; false when the folder cannot be written.
  bool Begin();
  TFile& File() { return FFile; }
  // Flushes, then renames over the target; refused while a locked open holds the target.
  bool Commit();
  const std::string& TempName() const { return FTempName; }

 private:
  std::string FTarget;
  std::string FTempName;
  TFile FFile;
  bool FCommitted = false;
};

}  // namespace platform
