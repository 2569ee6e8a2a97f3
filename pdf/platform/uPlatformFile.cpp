#include "uPlatformFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

namespace platform {

namespace {

// Opens without waiting: a read-only open of a named pipe would otherwise block until some
// writer appears, before the caller's check that the name is a regular file can refuse it.
// Reads and writes of regular files do not heed O_NONBLOCK.
int OpenRetrying(const char* name, int flags, mode_t mode = 0) {
  int handle;
  do {
    handle = ::open(name, flags | O_CLOEXEC | O_NONBLOCK, mode);
  } while (handle < 0 && errno == EINTR);
  return handle;
}

bool LockNow(int handle, int operation) {
  int result;
  do {
    result = ::flock(handle, operation | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

// True when an exclusive lock on the file could be taken now (nobody holds it).
bool Unheld(const std::string& fileName) {
  int handle = OpenRetrying(fileName.c_str(), O_RDONLY);
  if (handle < 0) return errno == ENOENT;
  bool free = LockNow(handle, LOCK_EX);
  ::close(handle);
  return free;
}

// Bytes written before their writing to the disk is started, for files that ask for it.
constexpr int64_t kWriteBackRun = 8 << 20;

std::string FolderOf(const std::string& fileName) {
  size_t slash = fileName.rfind('/');
  if (slash == std::string::npos) return "./";
  return fileName.substr(0, slash + 1);
}

}  // namespace

std::string TByteSource::Read(int64_t position, int64_t count) const {
  int64_t size = Size();
  if (position < 0 || count <= 0 || position >= size) return {};
  count = std::min(count, size - position);
  std::string bytes(static_cast<size_t>(count), '\0');
  int64_t got = ReadAt(position, bytes.data(), count);
  bytes.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  return bytes;
}

int64_t TMemorySource::ReadAt(int64_t position, char* target, int64_t count) const {
  if (position < 0 || count <= 0 || position >= FSize) return 0;
  count = std::min(count, FSize - position);
  std::memcpy(target, FData + position, static_cast<size_t>(count));
  return count;
}

TFile::~TFile() { Close(); }

TFile::TFile(TFile&& other) noexcept
    : FHandle(std::exchange(other.FHandle, -1)),
      FReadOnly(other.FReadOnly),
      FWriteBackEarly(other.FWriteBackEarly),
      FPosition(other.FPosition),
      FWrittenBack(other.FWrittenBack) {}

TFile& TFile::operator=(TFile&& other) noexcept {
  if (this != &other) {
    Close();
    FHandle = std::exchange(other.FHandle, -1);
    FReadOnly = other.FReadOnly;
    FWriteBackEarly = other.FWriteBackEarly;
    FPosition = other.FPosition;
    FWrittenBack = other.FWrittenBack;
  }
  return *this;
}

bool TFile::Open(const std::string& fileName, TFileShare share) {
  Close();
  int handle = -1;
  int lock = 0;
  FReadOnly = true;
  switch (share) {
    case TFileShare::ReadShared:
      handle = OpenRetrying(fileName.c_str(), O_RDONLY);
      break;
    case TFileShare::ReadDenyWrite:
      handle = OpenRetrying(fileName.c_str(), O_RDONLY);
      lock = LOCK_SH;
      break;
    case TFileShare::ReadWriteExclusive:
      handle = OpenRetrying(fileName.c_str(), O_RDWR);
      FReadOnly = false;
      // A file that may be read but not written still opens, under the same lock.
      if (handle < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        handle = OpenRetrying(fileName.c_str(), O_RDONLY);
        FReadOnly = true;
      }
      lock = LOCK_EX;
      break;
  }
  if (handle < 0) return false;
  struct stat info;
  if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode) || (lock && !LockNow(handle, lock))) {
    ::close(handle);
    return false;
  }
  FHandle = handle;
  FPosition = 0;
  return true;
}

bool TFile::Create(const std::string& fileName) {
  Close();
  // The lock is taken before the file is emptied, so a held file keeps its bytes.
  int handle = OpenRetrying(fileName.c_str(), O_RDWR | O_CREAT, 0666);
  if (handle < 0) return false;
  struct stat info;
  if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode) || !LockNow(handle, LOCK_EX) ||
      ::ftruncate(handle, 0) != 0) {
    ::close(handle);
    return false;
  }
  FHandle = handle;
  FReadOnly = false;
  FPosition = 0;
  return true;
}

void TFile::Close() {
  if (FHandle >= 0) ::close(FHandle);  // closing drops the lock
  FHandle = -1;
  FPosition = 0;
  FWrittenBack = 0;
}

bool TFile::Stamp(TFileStamp& stamp) const {
  struct stat info;
  if (FHandle < 0 || ::fstat(FHandle, &info) != 0) return false;
  stamp.Size = static_cast<int64_t>(info.st_size);
  stamp.ModifiedNs = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return true;
}

int64_t TFile::Size() const {
  struct stat info;
  if (FHandle < 0 || ::fstat(FHandle, &info) != 0) return 0;
  return static_cast<int64_t>(info.st_size);
}

int64_t TFile::ReadAt(int64_t position, char* target, int64_t count) const {
  if (FHandle < 0 || position < 0 || count <= 0) return 0;
  int64_t done = 0;
  while (done < count) {
    ssize_t got = ::pread(FHandle, target + done, static_cast<size_t>(count - done), position + done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += got;
  }
  return done;
}

bool TFile::Write(const char* data, size_t count) {
  if (FHandle < 0 || FReadOnly) return false;
  size_t done = 0;
  while (done < count) {
    ssize_t put = ::pwrite(FHandle, data + done, count - done, FPosition + static_cast<int64_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  FPosition += static_cast<int64_t>(done);
  if (FWriteBackEarly && FPosition - FWrittenBack >= kWriteBackRun) StartWriteBack();
  return true;
}

void TFile::StartWriteBack() {
  // Only starts the writing; a failure here shows up in the final flush.
  ::sync_file_range(FHandle, FWrittenBack, FPosition - FWrittenBack, SYNC_FILE_RANGE_WRITE);
  FWrittenBack = FPosition;
}

bool TFile::Flush() { return FHandle >= 0 && ::fsync(FHandle) == 0; }

bool FileExists(const std::string& fileName) {
  struct stat info;
  return ::stat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

int64_t FileSize(const std::string& fileName) {
  struct stat info;
  if (::stat(fileName.c_str(), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

bool FileModified(const std::string& fileName, TDateTime& modified) {
  struct stat info;
  if (::stat(fileName.c_str(), &info) != 0) return false;
  std::time_t seconds = info.st_mtim.tv_sec;
  std::tm local{};
  if (!::localtime_r(&seconds, &local)) return false;
  modified.Year = local.tm_year + 1900;
  modified.Month = local.tm_mon + 1;
  modified.Day = local.tm_mday;
  modified.Hour = local.tm_hour;
  modified.Minute = local.tm_min;
  modified.Second = local.tm_sec;
  modified.Millisecond = static_cast<int>(info.st_mtim.tv_nsec / 1000000);
  return true;
}

bool DeleteFile(const std::string& fileName) {
  if (!FileExists(fileName) || !Unheld(fileName)) return false;
  return ::unlink(fileName.c_str()) == 0;
}

bool SameFile(const std::string& first, const std::string& second) {
  struct stat a, b;
  if (::stat(first.c_str(), &a) != 0 || ::stat(second.c_str(), &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

TReplaceFile::TReplaceFile(std::string target) : FTarget(std::move(target)) {}

TReplaceFile::~TReplaceFile() {
  if (!FCommitted && !FTempName.empty()) {
    FFile.Close();
    ::unlink(FTempName.c_str());
  }
}

bool TReplaceFile::Begin() {
  if (!FTempName.empty()) return FFile.IsOpen();
  std::string pattern = FolderOf(FTarget) + ".parvex-XXXXXX";
  int handle = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (handle < 0) return false;
  ::close(handle);
  FTempName = pattern;
  if (!FFile.Create(FTempName)) return false;
  // Keep the permissions of the file being replaced.
  struct stat info;
  mode_t mode;
  if (::stat(FTarget.c_str(), &info) == 0) {
    mode = info.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(FFile.Handle(), mode);
  FFile.WriteBackEarly();
  return true;
}

bool TReplaceFile::Commit() {
  if (FCommitted || !FFile.IsOpen() || !FFile.Flush() || !Unheld(FTarget)) return false;
  if (::rename(FTempName.c_str(), FTarget.c_str()) != 0) return false;
  FFile.Close();
  FCommitted = true;
  return true;
}

}  // namespace platform
