// TSmartPDFReader, after opening: object text and fetches (from the file and from object
// streams), trailer look-ups and the trailer of a copy.
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "uPDFDigest.h"
#include "uPDFSmartAccess.h"
#include "uPDFSmartAccessText.h"
#include "uPlatform.h"

namespace {

// Counts one level of nested fetches for as long as it lives.
class TFetchDepth {
 public:
  explicit TFetchDepth(int& depth) : FDepth(depth) { ++FDepth; }
  ~TFetchDepth() { --FDepth; }
  TFetchDepth(const TFetchDepth&) = delete;
  TFetchDepth& operator=(const TFetchDepth&) = delete;

 private:
  int& FDepth;
};

// Reads of up to this many bytes are served from the read-ahead window, which holds this
// many bytes more.
constexpr int64_t kWindowedRead = 16 * 1024;
constexpr int64_t kWindowSize = 64 * 1024;

}  // namespace

bool TSmartPDFReader::ObjectRange(int32_t objNum, int64_t& start, int64_t& length) const {
  if (objNum < 1 || objNum > MaxObjectNumber()) return false;
  const TSmartPDFObjectEntry& entry = Objects[static_cast<size_t>(objNum)];
  if (entry.Kind != 'n') return false;
  start = entry.Location;
  if (start < 0 || start >= FSize) return false;
  // The object runs up to the next offset that bounds objects, or to the end of the file;
  // the whole range is read, however long.
  int64_t next = Offsets.NextAbove(start);
  length = next - 1 > start ? next - start : FSize - start;
  return true;
}

std::string TSmartPDFReader::ReadRange(int64_t start, int64_t length) {
  length = std::min(length, FSize - start);
  if (start < 0 || length <= 0) return {};
  if (length > kWindowedRead) {
    std::string bytes = std::move(FSpare);
    FSpare = std::string();
    bytes.clear();
    bytes.resize(static_cast<size_t>(length));
    bytes.resize(static_cast<size_t>(std::max<int64_t>(0, Stream.ReadAt(start, bytes.data(), length))));
    return bytes;
  }
  const int64_t windowEnd = FWindowStart + static_cast<int64_t>(FWindow.size());
  const bool inWindow = start >= FWindowStart && start + length <= windowEnd;
  // Reads ahead only for a run of fetches in file order (each one starting where the one
  // before ended, or a little after it); a scattered fetch reads just its own range.
  const bool inOrder = start >= FLastReadEnd && start - FLastReadEnd <= kWindowedRead;
  FLastReadEnd = start + length;
  if (!inWindow) {
    if (!inOrder) return Stream.Read(start, length);
    FWindowStart = start;
    FWindow.resize(static_cast<size_t>(std::min(kWindowedRead + kWindowSize, FSize - start)));
    FWindow.resize(static_cast<size_t>(std::max<int64_t>(
        0, Stream.ReadAt(start, FWindow.data(), static_cast<int64_t>(FWindow.size())))));
  }
  const int64_t offset = start - FWindowStart;
  const int64_t available = std::min<int64_t>(length, static_cast<int64_t>(FWindow.size()) - offset);
  if (available <= 0) return {};
  return FWindow.substr(static_cast<size_t>(offset), static_cast<size_t>(available));
}

void TSmartPDFReader::RecycleBuffer(std::string&& bytes) {
  if (bytes.capacity() > FSpare.capacity()) FSpare = std::move(bytes);
}

std::string TSmartPDFReader::GetObjectText(int32_t objNum) {
  if (objNum < 1 || objNum > MaxObjectNumber()) return {};
  const TSmartPDFObjectEntry entry = Objects[static_cast<size_t>(objNum)];
  if (entry.Kind == 'c') return ObjectStreamText(objNum, entry);
  int64_t start = 0, length = 0;
  if (!ObjectRange(objNum, start, length)) return {};
  std::string text = ReadRange(start, length);
  size_t value = ObjectValueStart(text, objNum, entry.Generation);
  if (value == std::string::npos) return {};
  text.erase(0, value);
  return text;
}

bool TSmartPDFReader::ReadObject(int32_t objNum, TPDFStructure* pool, TSmartPDFObjectText& object) {
  object.Value = nullptr;
  object.IsStream = false;
  object.ValueStart = 0;
  if (FFetchDepth >= kMaxFetchDepth) return false;
  TFetchDepth depth(FFetchDepth);
  if (IsCompressed(objNum)) {
    object.Text = GetObjectText(objNum);
  } else {
    int64_t start = 0, length = 0;
    const bool listed = ObjectRange(objNum, start, length);
    if (listed) {
      object.Text = ReadRange(start, length);
      object.ValueStart = ObjectValueStart(object.Text, objNum, GetGeneration(objNum));
    }
    if ((!listed || object.ValueStart == std::string::npos) && !ReadFoundObject(objNum, object)) return false;
  }
  const std::string& text = object.Text;
  if (text.size() <= object.ValueStart) return false;
  TPDFStructure* target = pool ? pool : Pool.get();
  object.Value = target->Parse(text.data() + object.ValueStart, text.size() - object.ValueStart, object.Spans);
  if (!object.Value) return false;
  TPDFDictionary* dictionary = As<TPDFDictionary>(object.Value);
  const size_t end = object.ValueStart + object.Spans.End;
  if (dictionary && StreamKeywordFollows(text, end))
    object.IsStream = FindStreamData(text, end, StreamLength(dictionary), object.Data);
  return true;
}

// An object in use whose entry does not lead to it, read where the scan of the file found
// its newest head (with the entry's generation).
bool TSmartPDFReader::ReadFoundObject(int32_t objNum, TSmartPDFObjectText& object) {
  if (!FAllowRepair || objNum < 1 || objNum > MaxObjectNumber()) return false;
  const TSmartPDFObjectEntry& entry = Objects[static_cast<size_t>(objNum)];
  if (entry.Kind != 'n') return false;
  const TPDFFileScan::TObjectAt* found = Scan().Find(objNum);
  if (!found || found->Gen != entry.Generation) return false;
  const int64_t end = Scan().NextObjectAfter(found->Offset);
  object.Text = Stream.Read(found->Offset, end - found->Offset);
  object.ValueStart = ObjectValueStart(object.Text, objNum, entry.Generation);
  if (object.ValueStart == std::string::npos) return false;
  Repaired = true;
  Warn("objects are not where the cross-reference data says; they were found by a scan of the file");
  return true;
}

TPDFObject* TSmartPDFReader::FetchObject(int32_t objNum, TPDFStructure* pool) {
  TSmartPDFObjectText object;
  if (!ReadObject(objNum, pool, object)) return nullptr;
  if (!object.IsStream) return object.Value;
  // The data are cut out of the text's own buffer in place rather than copied.
  TPDFStructure* target = pool ? pool : Pool.get();
  TPDFStream* stream = target->NewStream(std::string());
  std::string& text = object.Text;
  text.resize(object.Data.Start + object.Data.Length);
  text.erase(0, object.Data.Start);
  stream->Data = std::move(text);
  stream->SetDictionary(As<TPDFDictionary>(object.Value));
  return stream;
}

int64_t TSmartPDFReader::StreamLength(TPDFDictionary* dictionary) {
  TPDFObject* value = dictionary->GetValue("Length");
  // A /Length kept in an object of its own is read into a scratch pool, so long runs of
  // fetches leave nothing behind in Pool.
  TPDFStructure scratch;
  if (const TPDFIndRef* ref = As<TPDFIndRef>(value)) value = FetchObject(ref->ObjNum, &scratch);
  const TPDFNumeric* number = As<TPDFNumeric>(value);
  if (!number || !(number->Value >= 0)) return -1;
  if (number->Value < 2147483647.0) return number->AsInteger();
  return static_cast<int64_t>(std::min(number->Value, 9007199254740992.0));
}

TPDFObject* TSmartPDFReader::Resolve(TPDFObject* value, TPDFStructure* pool) {
  if (const TPDFIndRef* ref = As<TPDFIndRef>(value)) return FetchObject(ref->ObjNum, pool);
  return value;
}

int32_t TSmartPDFReader::GetGeneration(int32_t objNum) const {
  if (objNum < 1 || objNum > MaxObjectNumber()) return 0;
  return Objects[static_cast<size_t>(objNum)].Generation;
}

bool TSmartPDFReader::IsCompressed(int32_t objNum) const {
  if (objNum < 1 || objNum > MaxObjectNumber()) return false;
  return Objects[static_cast<size_t>(objNum)].Kind == 'c';
}

TPDFStream* TSmartPDFReader::LoadObjectStream(int32_t streamNum) {
  auto cached = ObjStmCache.find(streamNum);
  if (cached != ObjStmCache.end()) return cached->second;
  // An object stream that (through other object streams) holds itself is never loaded.
  if (!FObjStmLoading.insert(streamNum).second) return nullptr;
  TPDFStream* stream = As<TPDFStream>(FetchObject(streamNum, Pool.get()));
  FObjStmLoading.erase(streamNum);
  if (stream) {
    if (HasEncryptEntry && OnObjectStreamLoaded) OnObjectStreamLoaded(streamNum, stream);
    stream->Data = stream->GetDecoded();
    stream->Dictionary->Remove("Filter");
  }
  // A number that is no stream is remembered too, so it is not fetched again for every member.
  ObjStmCache[streamNum] = stream;
  return stream;
}

const std::vector<int64_t>* TSmartPDFReader::ObjectStreamHead(int32_t streamNum, TPDFStream* stream) {
  auto known = FObjStmHeads.find(streamNum);
  if (known == FObjStmHeads.end()) {
    std::vector<int64_t> numbers;
    int64_t count = stream->Dictionary->GetInteger("N", 0);
    int64_t first = std::max<int32_t>(0, stream->Dictionary->GetInteger("First", 0));
    TPDFStructure scratch;
    std::string text = "[ " + stream->Data.substr(0, static_cast<size_t>(first)) + " ]";
    const TPDFArray* array = As<TPDFArray>(scratch.Parse(text));
    if (array && count > 0 && array->Count() >= 2 * count) {
      numbers.reserve(static_cast<size_t>(2 * count));
      for (int32_t i = 0; i < 2 * count; ++i) {
        const TPDFNumeric* number = As<TPDFNumeric>(array->GetItem(i));
        numbers.push_back(number ? number->AsInteger() : 0);
      }
    }
    known = FObjStmHeads.emplace(streamNum, std::move(numbers)).first;
  }
  return known->second.empty() ? nullptr : &known->second;
}

std::string TSmartPDFReader::ObjectStreamText(int32_t objNum, const TSmartPDFObjectEntry& entry) {
  if (entry.Location < 1 || entry.Location > kMaxObjectNumber) return {};
  int32_t streamNum = static_cast<int32_t>(entry.Location);
  TPDFStream* stream = LoadObjectStream(streamNum);
  if (!stream) return {};
  const TPDFDictionary* dictionary = stream->Dictionary;
  const TPDFNumeric* count = As<TPDFNumeric>(dictionary->GetValue("N"));
  const TPDFNumeric* first = As<TPDFNumeric>(dictionary->GetValue("First"));
  int64_t index = entry.Generation;
  if (dictionary->GetTypeName() != "ObjStm" || !count || !first || index < 0 || count->AsInteger() <= index)
    return {};
  const std::vector<int64_t>* head = ObjectStreamHead(streamNum, stream);
  if (!head || (*head)[static_cast<size_t>(2 * index)] != objNum) return {};
  const std::string& data = stream->Data;
  int64_t base = first->AsInteger();
  int64_t begin = base + (*head)[static_cast<size_t>(2 * index + 1)];
  int64_t end = index == count->AsInteger() - 1 ? static_cast<int64_t>(data.size())
                                                : base + (*head)[static_cast<size_t>(2 * index + 3)];
  end = std::min<int64_t>(end, static_cast<int64_t>(data.size()));
  // Offsets outside the data, or running backwards, give no object.
  if (base < 0 || begin < 0 || begin > end) return {};
  return data.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin));
}

void TSmartPDFReader::ClearObjectStreamCache() {
  ObjStmCache.clear();
  FObjStmHeads.clear();
}

// Trailer is Trailers.front(), so walking Trailers looks at it first.
TPDFDictionary* TSmartPDFReader::TrailerDictionary(const std::string& key) {
  for (TPDFDictionary* trailer : Trailers) {
    if (TPDFObject* value = Resolve(trailer->GetValue(key), Pool.get())) return As<TPDFDictionary>(value);
  }
  return nullptr;
}

TPDFIndRef* TSmartPDFReader::TrailerReference(const std::string& key) {
  for (TPDFDictionary* trailer : Trailers) {
    if (trailer->IndexOf(key) >= 0) return As<TPDFIndRef>(trailer->GetValue(key));
  }
  return nullptr;
}

std::string TSmartPDFReader::NewIdentifier() const {
  const platform::TClock& clock = platform::Clock();
  platform::TDateTime now = clock.LocalNow();
  char time[16];
  std::snprintf(time, sizeof time, "%02d%02d%02d", now.Hour % 100, now.Minute % 100, now.Second % 100);
  return MD5Hex(std::string(time) + std::to_string(FInstance) + std::to_string(clock.TickMilliseconds()));
}

void TSmartPDFReader::PrepareTrailer() {
  if (!Trailer) return;
  Trailer->Remove("Size");
  Trailer->SetValue("Size", Pool->NewNumeric(static_cast<double>(MaxObjectNumber() + 1)));
  for (const char* key : {"Info", "Root"}) {
    if (Trailer->IndexOf(key) >= 0) continue;
    if (TPDFIndRef* older = TrailerReference(key)) Trailer->SetValue(key, older);
  }
  std::string identifier = NewIdentifier();
  if (Trailer->IndexOf("ID") < 0) {
    TPDFString* id = Pool->NewString(identifier, 1);
    Trailer->SetValue("ID", Pool->NewArrayOf({id, id}));
    if (OnNewID) OnNewID(*this);
  } else if (TPDFArray* ids = As<TPDFArray>(Resolve(Trailer->GetValue("ID"), Pool.get()))) {
    if (TPDFString* second = ids->Count() >= 2 ? As<TPDFString>(ids->GetItem(1)) : nullptr) {
      second->Value = identifier;
      second->IsHex = 1;
    }
  }
  Trailer->Remove("Prev");
}
