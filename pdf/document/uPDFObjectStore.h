#pragma once
// The object store of a document: every indirect object in store order (the objects of the
// loaded file by their position in it, objects kept in object streams first, added objects
// last), found by number in constant time. An object read from a file is a compact slot
// until it is first asked for; its record (TPDFIndObj) is made then, so loading a file with
// many objects touches little memory.
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TPDFDocument;
class TPDFObject;

// A byte string that takes no room until it is set (most objects never hold one).
class TPDFCachedText {
 public:
  TPDFCachedText() = default;
  TPDFCachedText(const TPDFCachedText& other) { *this = other; }
  TPDFCachedText& operator=(const TPDFCachedText& other) {
    if (this != &other) FText = other.FText ? std::make_unique<std::string>(*other.FText) : nullptr;
    return *this;
  }
  TPDFCachedText(TPDFCachedText&&) noexcept = default;
  TPDFCachedText& operator=(TPDFCachedText&&) noexcept = default;
  TPDFCachedText& operator=(std::string text) {
    FText = text.empty() ? nullptr : std::make_unique<std::string>(std::move(text));
    return *this;
  }
  const std::string& Text() const;
  operator const std::string&() const { return Text(); }
  bool empty() const { return !FText; }
  size_t size() const { return FText ? FText->size() : 0; }
  void clear() { FText.reset(); }

 private:
  std::unique_ptr<std::string> FText;
};

// One indirect object of the store.
class TPDFIndObj {
 public:
  TPDFDocument* Document = nullptr;
  TPDFObject* Value = nullptr;   // the parsed value, owned by the document's structure
  int64_t Offset = 0;            // start of the object's text in the file bytes
  int64_t RawLength = 0;         // length of that text
  TPDFCachedText CachedText;     // the object's text while it is swapped
  int32_t ObjNum = 0;
  int32_t GenNum = 0;
  int32_t ObjStmNum = 0;         // object stream holding a compressed object (-1: none can)
  int32_t ObjStmIndex = 0;       // index inside that object stream
  bool Loaded = false;           // Value has been produced (set before parsing starts)
  bool Decrypted = false;        // strings and streams of Value are plain text
  bool Swapped = false;          // Value was replaced by its text in CachedText
  bool InTempFile = false;       // the swapped text lives in the swap file
  bool Compressed = false;       // the object lives in an object stream
};

class TPDFObjectStore {
 public:
  explicit TPDFObjectStore(TPDFDocument* document) : FDocument(document) {}
  TPDFObjectStore(const TPDFObjectStore&) = delete;
  TPDFObjectStore& operator=(const TPDFObjectStore&) = delete;

  void Clear();

  // ---- Building from a file ----
  // An object the cross-reference chain gives: in the file at offset, or compressed in an
  // object stream. Call in chain order (newest first), then Build once.
  void AppendPlain(int32_t objNum, int32_t genNum, int64_t offset);
  void AppendCompressed(int32_t objNum, int32_t objStmNum, int32_t objStmIndex);
  // Room for this many appended objects (address space only until they come).
  void ReserveSlots(size_t count);
  size_t SlotCount() const { return FPlain.size() + FCompressed.size(); }
  // Sorts the appended objects into store order (by offset, equal offsets by number) and
  // indexes them; objects with a negative generation are left out. Each object's text runs
  // up to the next object's offset, the last one's up to fileSize.
  void Build(int64_t fileSize);

  // ---- Use ----
  // Objects in the store.
  size_t size() const { return FLive; }
  bool empty() const { return FLive == 0; }
  // The object of that number (whatever its generation), or none.
  TPDFIndObj* Find(int32_t objNum);
  bool HasNumber(int32_t objNum) const { return Handle(objNum) != 0; }
  // Appends an added object at the end of the store. Its number must not be in the store.
  TPDFIndObj* Add(std::unique_ptr<TPDFIndObj> object);
  void Remove(TPDFIndObj* object);
  int32_t MaxObjNum() const { return FMaxObjNum; }

  // Iterates the store in order, making records as it goes.
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = TPDFIndObj*;
    using difference_type = std::ptrdiff_t;
    using pointer = TPDFIndObj**;
    using reference = TPDFIndObj*;
    iterator(TPDFObjectStore* store, size_t position) : FStore(store), FPosition(position) { Settle(); }
    TPDFIndObj* operator*() const { return FStore->At(FPosition); }
    iterator& operator++() {
      ++FPosition;
      Settle();
      return *this;
    }
    bool operator==(const iterator& other) const { return FPosition == other.FPosition; }
    bool operator!=(const iterator& other) const { return FPosition != other.FPosition; }

   private:
    void Settle() {
      while (FPosition < FStore->PositionCount() && !FStore->IsLive(FPosition)) ++FPosition;
    }
    TPDFObjectStore* FStore;
    size_t FPosition;
  };
  iterator begin() { return iterator(this, 0); }
  iterator end() { return iterator(this, PositionCount()); }

 private:
  // An object of the file before its record is made: in the file at an offset, or in an
  // object stream. The two kinds are kept apart; compressed objects come first in the store.
  struct TPlainSlot {
    int64_t Offset = 0;
    int32_t ObjNum = 0;
    int32_t GenNum = 0;
  };
  struct TCompressedSlot {
    int32_t ObjNum = 0;
    int32_t ObjStmNum = 0;
    int32_t ObjStmIndex = 0;
  };
  static constexpr size_t kChunk = 64;  // records made together

  // Store positions: compressed slots, plain slots (each in store order), added objects.
  size_t FileCount() const { return FCompressed.size() + FPlain.size(); }
  size_t PositionCount() const { return FileCount() + FAdded.size(); }
  bool IsLive(size_t position) const;
  TPDFIndObj* At(size_t position);
  TPDFIndObj* MakeRecord(size_t position);
  int64_t FileOffsetAt(size_t position) const;
  // Position + 1 of a number's object, 0 when there is none.
  uint32_t Handle(int32_t objNum) const;
  void SetHandle(int32_t objNum, uint32_t handle);
  void RecomputeMaxObjNum();

  TPDFDocument* FDocument;
  std::vector<TCompressedSlot> FCompressed;
  std::vector<TPlainSlot> FPlain;
  int64_t FFileSize = 0;
  std::vector<std::unique_ptr<TPDFIndObj[]>> FChunks;  // records of file objects, by position / kChunk
  std::vector<bool> FRemovedFile;                       // sized at the first removal of a file object
  std::vector<std::unique_ptr<TPDFIndObj>> FAdded;      // none where an added object was removed
  std::vector<std::unique_ptr<TPDFIndObj>> FRetired;    // removed added objects, kept alive
  std::vector<uint32_t> FDense;                         // handles of numbers below its size
  std::unordered_map<int32_t, uint32_t> FSparse;        // handles of the other numbers
  size_t FLive = 0;
  int32_t FMaxObjNum = 0;
};
