#include "uPDFObjectStore.h"

#include <algorithm>

namespace {

// The dense part of the number index covers numbers up to this much beyond twice the count.
constexpr size_t kDenseSlack = 65536;
// Slots that fall into at most this many ascending runs are merged run by run, not sorted.
constexpr size_t kMaxMergedRuns = 16;

// Sorts by before. Files mostly list their objects in a few ascending runs (one per update,
// or objects written out of number order at either end), which merging keeps cheap.
template <class T, class Before>
void SortSlots(std::vector<T>& slots, Before before) {
  std::vector<size_t> runs{0};
  for (size_t i = 1; i < slots.size(); ++i) {
    if (before(slots[i], slots[i - 1])) {
      runs.push_back(i);
      if (runs.size() > kMaxMergedRuns) {
        std::sort(slots.begin(), slots.end(), before);
        return;
      }
    }
  }
  for (size_t r = 1; r < runs.size(); ++r) {
    const auto end = r + 1 < runs.size() ? slots.begin() + static_cast<std::ptrdiff_t>(runs[r + 1]) : slots.end();
    std::inplace_merge(slots.begin(), slots.begin() + static_cast<std::ptrdiff_t>(runs[r]), end, before);
  }
}

}  // namespace

const std::string& TPDFCachedText::Text() const {
  static const std::string kEmpty;
  return FText ? *FText : kEmpty;
}

void TPDFObjectStore::Clear() {
  FCompressed.clear();
  FCompressed.shrink_to_fit();
  FPlain.clear();
  FPlain.shrink_to_fit();
  FFileSize = 0;
  FChunks.clear();
  FRemovedFile.clear();
  FAdded.clear();
  FRetired.clear();
  FDense.clear();
  FDense.shrink_to_fit();
  FSparse.clear();
  FLive = 0;
  FMaxObjNum = 0;
}

void TPDFObjectStore::ReserveSlots(size_t count) {
  FPlain.reserve(count);
  FCompressed.reserve(count);
}

void TPDFObjectStore::AppendPlain(int32_t objNum, int32_t genNum, int64_t offset) {
  if (genNum >= 0) FPlain.push_back({offset, objNum, genNum});
}

void TPDFObjectStore::AppendCompressed(int32_t objNum, int32_t objStmNum, int32_t objStmIndex) {
  FCompressed.push_back({objNum, objStmNum, objStmIndex});
}

void TPDFObjectStore::Build(int64_t fileSize) {
  FFileSize = fileSize;
  auto plainBefore = [](const TPlainSlot& a, const TPlainSlot& b) {
    return a.Offset != b.Offset ? a.Offset < b.Offset : a.ObjNum < b.ObjNum;
  };
  auto compressedBefore = [](const TCompressedSlot& a, const TCompressedSlot& b) { return a.ObjNum < b.ObjNum; };
  SortSlots(FPlain, plainBefore);
  SortSlots(FCompressed, compressedBefore);

  int32_t maxNum = 0;
  for (const TPlainSlot& slot : FPlain) maxNum = std::max(maxNum, slot.ObjNum);
  for (const TCompressedSlot& slot : FCompressed) maxNum = std::max(maxNum, slot.ObjNum);
  const size_t count = FileCount();
  if (maxNum >= 0 && static_cast<size_t>(maxNum) < 2 * count + kDenseSlack) {
    // Room for added objects' numbers too, so the first additions do not copy the table.
    FDense.reserve(static_cast<size_t>(maxNum) + 1 + kDenseSlack);
    FDense.assign(static_cast<size_t>(maxNum) + 1, 0);
  }
  // The first object of a number in store order is the one found.
  for (size_t i = 0; i < FCompressed.size(); ++i)
    if (!Handle(FCompressed[i].ObjNum)) SetHandle(FCompressed[i].ObjNum, static_cast<uint32_t>(i + 1));
  for (size_t i = 0; i < FPlain.size(); ++i)
    if (!Handle(FPlain[i].ObjNum)) SetHandle(FPlain[i].ObjNum, static_cast<uint32_t>(FCompressed.size() + i + 1));
  FChunks.resize((count + kChunk - 1) / kChunk);
  FLive = count;
  FMaxObjNum = std::max(FMaxObjNum, maxNum);
}

uint32_t TPDFObjectStore::Handle(int32_t objNum) const {
  if (objNum >= 0 && static_cast<size_t>(objNum) < FDense.size()) return FDense[static_cast<size_t>(objNum)];
  if (FSparse.empty()) return 0;
  auto it = FSparse.find(objNum);
  return it == FSparse.end() ? 0 : it->second;
}

void TPDFObjectStore::SetHandle(int32_t objNum, uint32_t handle) {
  // The dense part grows by the next number while it stays small beside the store.
  if (objNum >= 0 && static_cast<size_t>(objNum) == FDense.size() && FDense.size() < 2 * FLive + kDenseSlack &&
      FSparse.find(objNum) == FSparse.end())
    FDense.push_back(0);
  if (objNum >= 0 && static_cast<size_t>(objNum) < FDense.size()) {
    FDense[static_cast<size_t>(objNum)] = handle;
  } else if (handle) {
    FSparse[objNum] = handle;
  } else {
    FSparse.erase(objNum);
  }
}

bool TPDFObjectStore::IsLive(size_t position) const {
  if (position < FileCount()) return FRemovedFile.empty() || !FRemovedFile[position];
  return FAdded[position - FileCount()] != nullptr;
}

TPDFIndObj* TPDFObjectStore::At(size_t position) {
  if (position < FileCount()) return MakeRecord(position);
  return FAdded[position - FileCount()].get();
}

int64_t TPDFObjectStore::FileOffsetAt(size_t position) const {
  if (position < FCompressed.size()) return 0;
  if (position < FileCount()) return FPlain[position - FCompressed.size()].Offset;
  return FFileSize;
}

// Each object's text runs up to the next object's offset in store order (compressed
// objects count at offset 0), the last one's up to the end of the file.
TPDFIndObj* TPDFObjectStore::MakeRecord(size_t position) {
  std::unique_ptr<TPDFIndObj[]>& chunk = FChunks[position / kChunk];
  if (!chunk) chunk = std::make_unique<TPDFIndObj[]>(kChunk);
  TPDFIndObj& object = chunk[position % kChunk];
  if (object.Document) return &object;
  object.Document = FDocument;
  if (position < FCompressed.size()) {
    const TCompressedSlot& slot = FCompressed[position];
    object.ObjNum = slot.ObjNum;
    object.Compressed = true;
    object.ObjStmNum = slot.ObjStmNum;
    object.ObjStmIndex = slot.ObjStmIndex;
  } else {
    const TPlainSlot& slot = FPlain[position - FCompressed.size()];
    object.ObjNum = slot.ObjNum;
    object.GenNum = slot.GenNum;
    object.Offset = slot.Offset;
  }
  object.RawLength = FileOffsetAt(position + 1) - object.Offset;
  return &object;
}

TPDFIndObj* TPDFObjectStore::Find(int32_t objNum) {
  const uint32_t handle = Handle(objNum);
  return handle ? At(handle - 1) : nullptr;
}

TPDFIndObj* TPDFObjectStore::Add(std::unique_ptr<TPDFIndObj> object) {
  TPDFIndObj* added = object.get();
  const size_t position = PositionCount();
  FAdded.push_back(std::move(object));
  ++FLive;
  SetHandle(added->ObjNum, static_cast<uint32_t>(position + 1));
  FMaxObjNum = std::max(FMaxObjNum, added->ObjNum);
  return added;
}

void TPDFObjectStore::Remove(TPDFIndObj* object) {
  const uint32_t handle = object ? Handle(object->ObjNum) : 0;
  if (!handle || At(handle - 1) != object) return;
  const size_t position = handle - 1;
  if (position < FileCount()) {
    if (FRemovedFile.empty()) FRemovedFile.resize(FileCount(), false);
    FRemovedFile[position] = true;
  } else {
    // The record stays alive (others may still point at it) but leaves the store.
    std::unique_ptr<TPDFIndObj>& slot = FAdded[position - FileCount()];
    FRetired.push_back(std::move(slot));
  }
  SetHandle(object->ObjNum, 0);
  --FLive;
  if (object->ObjNum == FMaxObjNum) RecomputeMaxObjNum();
}

void TPDFObjectStore::RecomputeMaxObjNum() {
  FMaxObjNum = 0;
  for (const auto& [number, handle] : FSparse)
    if (handle) FMaxObjNum = std::max(FMaxObjNum, number);
  for (size_t n = FDense.size(); n > 0; --n) {
    if (FDense[n - 1]) {
      FMaxObjNum = std::max(FMaxObjNum, static_cast<int32_t>(n - 1));
      break;
    }
  }
}
