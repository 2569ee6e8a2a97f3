#include "uPDFFileBytes.h"

#include <algorithm>
#include <cstring>

void TPDFFileBytes::Clear() {
  FMemory.clear();
  FMemory.shrink_to_fit();
  FSource.reset();
  FSize = 0;
  FStamped = false;
  FWindow.clear();
  FWindow.shrink_to_fit();
  FWindowStart = -1;
}

void TPDFFileBytes::Assign(std::string bytes) {
  Clear();
  FMemory = std::move(bytes);
  FSize = static_cast<int64_t>(FMemory.size());
}

void TPDFFileBytes::Attach(std::unique_ptr<TSource> source) {
  Clear();
  FSource = std::move(source);
  FSize = FSource ? std::max<int64_t>(0, FSource->Size()) : 0;
  FStamped = FSource && FSource->Stamp(FStamp);
}

bool TPDFFileBytes::Unchanged() const {
  if (!FSource || !FStamped) return true;
  platform::TFileStamp now;
  return FSource->Stamp(now) && now == FStamp;
}

int64_t TPDFFileBytes::ReadAt(int64_t position, char* target, int64_t count) const {
  if (FSource) return FSource->ReadAt(position, target, count);
  if (position < 0 || count <= 0 || position >= FSize) return 0;
  const int64_t taken = std::min(count, FSize - position);
  std::memcpy(target, FMemory.data() + position, static_cast<size_t>(taken));
  return taken;
}

std::string_view TPDFFileBytes::Read(int64_t position, int64_t count, std::string& buffer) const {
  if (position < 0) position = 0;
  if (count <= 0 || position >= FSize) return {};
  count = std::min(count, FSize - position);
  if (!FSource) return std::string_view(FMemory).substr(static_cast<size_t>(position), static_cast<size_t>(count));

  if (count <= kSmallRead) {
    const bool inWindow = FWindowStart >= 0 && position >= FWindowStart &&
                          position + count <= FWindowStart + static_cast<int64_t>(FWindow.size());
    if (!inWindow) {
      FWindow.resize(static_cast<size_t>(kWindowSize));
      const int64_t got = FSource->ReadAt(position, FWindow.data(), kWindowSize);
      FWindow.resize(static_cast<size_t>(std::max<int64_t>(0, got)));
      FWindowStart = position;
    }
    const int64_t offset = position - FWindowStart;
    const int64_t available = std::min<int64_t>(count, static_cast<int64_t>(FWindow.size()) - offset);
    buffer.assign(FWindow, static_cast<size_t>(offset), static_cast<size_t>(std::max<int64_t>(0, available)));
    return buffer;
  }
  buffer.resize(static_cast<size_t>(count));
  const int64_t got = FSource->ReadAt(position, buffer.data(), count);
  buffer.resize(static_cast<size_t>(std::max<int64_t>(0, got)));
  return buffer;
}

std::string TPDFFileBytes::Copy(int64_t position, int64_t count) const {
  std::string buffer;
  std::string_view view = Read(position, count, buffer);
  if (view.data() != buffer.data()) return std::string(view);
  return buffer;
}
