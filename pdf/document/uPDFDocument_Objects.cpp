// TPDFDocument: lazy loading of one object from its text (a range of the file, or a piece
// of a decoded object stream), and the stream data that follows a stream's dictionary.
#include <algorithm>
#include <cmath>
#include <limits>

#include "uPDFDocNumbers.h"
#include "uPDFDocument.h"
#include "uPDFObjectText.h"

using pdfdoc::IsDigit;
using pdfdoc::IsWhite;

namespace {

// Counts one level of object loading for the life of the guard.
class TDepthGuard {
 public:
  explicit TDepthGuard(int& depth) : FDepth(depth) { ++FDepth; }
  ~TDepthGuard() { --FDepth; }
  TDepthGuard(const TDepthGuard&) = delete;
  TDepthGuard& operator=(const TDepthGuard&) = delete;

 private:
  int& FDepth;
};

std::string ObjectHeader(const TPDFIndObj* object) {
  return std::to_string(object->ObjNum) + " " + std::to_string(object->GenNum) + " obj\r";
}

}  // namespace

TPDFObject* TPDFDocument::GetLoadedValue(TPDFIndObj* object) {
  if (!object) return nullptr;
  if (object->Loaded) return object->Value;
  if (FLoadDepth >= kMaxLoadDepth) return nullptr;
  return LoadObject(object);
}

TPDFObject* TPDFDocument::LoadObject(TPDFIndObj* object) {
  // Loaded is set first, so a reference back to the object during its own parse sees none.
  object->Loaded = true;
  object->Value = nullptr;
  if (object->Compressed) object->Decrypted = true;
  TDepthGuard guard(FLoadDepth);
  TPDFObject* value = nullptr;
  if (!object->Compressed && !object->Swapped) {
    // The object's range may run over a cross-reference table that follows it; the parse
    // needs nothing beyond the table's start.
    int64_t length = object->RawLength;
    auto section = std::upper_bound(FSectionStarts.begin(), FSectionStarts.end(), object->Offset);
    if (section != FSectionStarts.end()) length = std::min(length, *section - object->Offset);
    std::string buffer;
    const std::string_view text = FileText.Read(object->Offset, length, buffer);
    std::string found;
    if (ValueStart(text, object) == std::string_view::npos && FoundObjectText(object, found))
      value = ParseObjectText(object, found, &found);
    else
      value = ParseObjectText(object, text, text.data() == buffer.data() ? &buffer : nullptr);
  } else {
    std::string text = RawText(object);
    value = ParseObjectText(object, text, &text);
  }
  value->SetIndirect(object->ObjNum, object->GenNum);
  object->Value = value;
  ++FParsedCount;
  return value;
}

std::string TPDFDocument::RawText(TPDFIndObj* object) {
  if (object->Swapped) return object->InTempFile ? ReadSwapRecord(object->ObjNum) : object->CachedText.Text();
  if (object->Compressed) return CompressedText(object);
  if (object->Offset < 0) return std::string();
  return FileText.Copy(object->Offset, object->RawLength);
}

size_t TPDFDocument::ValueStart(std::string_view text, const TPDFIndObj* object) {
  return ObjectValueStart(text, object->ObjNum, object->GenNum);
}

// "n g obj" with the numbers the store expects, then the value; anything else is null.
// When holder holds text (and nothing else needs it), stream data is taken out of it.
TPDFObject* TPDFDocument::ParseObjectText(TPDFIndObj* object, std::string_view text, std::string* holder) {
  const size_t start = ValueStart(text, object);
  if (start == std::string_view::npos) return Structure->NewNull();
  std::string_view body = text.substr(start);

  TPDFObject* value = nullptr;
  TPDFTextSpans spans;
  try {
    value = Structure->Parse(body.data(), body.size(), spans);
  } catch (const std::exception&) {
    value = nullptr;
  }
  if (!value) return Structure->NewNull();
  if (TPDFDictionary* dict = As<TPDFDictionary>(value))
    if (TPDFObject* stream = MakeStream(dict, text, start + spans.End, holder)) return stream;
  return value;
}

// The stream whose dictionary is dict, when the keyword "stream" follows the dictionary (which
// ends at dictEnd in the object's text). Its /Length (directly or through a reference to a
// number of the store) is taken when "endstream" follows the data it gives; otherwise the data
// run up to "endstream". The stream's /Length becomes its data length.
TPDFObject* TPDFDocument::MakeStream(TPDFDictionary* dict, std::string_view text, size_t dictEnd,
                                     std::string* holder) {
  TPDFObject* lengthValue = dict->GetValue("Length");
  TPDFNumeric* length = As<TPDFNumeric>(lengthValue);
  if (TPDFIndRef* ref = As<TPDFIndRef>(lengthValue))
    length = As<TPDFNumeric>(GetLoadedValue(FindObject(ref->ObjNum, ref->GenNum)));
  const int64_t declared = length ? pdfdoc::ToInt64(std::nearbyint(length->Value)) : -1;
  TPDFStreamBounds bounds;
  if (!FindStreamData(text, dictEnd, declared, bounds)) return nullptr;
  const size_t start = bounds.Start;
  const size_t size = bounds.Length;

  TPDFStream* stream = Structure->NewStream(std::string());
  stream->Dictionary->Assign(dict);
  if (holder) {
    // The data is moved out of the text's own buffer rather than copied (large streams).
    holder->resize(start + size);
    holder->erase(0, start);
    stream->Data = std::move(*holder);
  } else {
    stream->Data.assign(text.substr(start, size));
  }
  if (!bounds.LengthAgreed || !length || As<TPDFIndRef>(lengthValue))
    stream->Dictionary->SetValue("Length", Structure->NewNumeric(static_cast<double>(size)));
  return stream;
}

// The text of an object kept in an object stream: its header and the bytes the stream's
// offset table gives it, or a null object when the stream or its table disagree.
std::string TPDFDocument::CompressedText(TPDFIndObj* object) {
  std::string text = ObjectHeader(object);
  const std::string fallback = text + "null\rendobj";
  TPDFIndObj* holder = FindObject(object->ObjStmNum, 0);
  const TObjStmCache* cache = holder ? ObjectStream(holder) : nullptr;
  if (!cache || !cache->Usable || object->ObjStmIndex < 0 || object->ObjStmIndex >= cache->N) return fallback;
  const std::vector<double>& table = cache->Table;
  const size_t index = static_cast<size_t>(object->ObjStmIndex);
  if (table.size() < 2 * static_cast<size_t>(cache->N)) return fallback;
  if (table[2 * index] != static_cast<double>(object->ObjNum) || std::isnan(table[2 * index + 1])) return fallback;
  const int64_t offset = pdfdoc::ToInt64(table[2 * index + 1]);
  const int64_t dataSize = static_cast<int64_t>(cache->Decoded.size());
  int64_t end = dataSize;
  if (static_cast<int64_t>(index) + 1 < cache->N && !std::isnan(table[2 * index + 3]))
    end = pdfdoc::ToInt64(table[2 * index + 3]);
  const int64_t start = cache->First + offset;
  const int64_t count = std::min(end - offset, dataSize - start);
  if (start >= 0 && start < dataSize && count > 0)
    text.append(cache->Decoded, static_cast<size_t>(start), static_cast<size_t>(count));
  return text;
}

const TPDFDocument::TObjStmCache* TPDFDocument::ObjectStream(TPDFIndObj* holder) {
  TPDFStream* stream = As<TPDFStream>(GetLoadedValue(holder));
  if (!stream || stream->Dictionary->GetTypeName() != "ObjStm") return nullptr;
  if (SecurityKind() == 1) {
    if (StoredPassword.empty()) FObjStmsLocked = true;
    else DecryptObject(holder);
  }

  auto found = FObjStms.find(holder);
  if (found != FObjStms.end()) {
    if (found->second.Value == stream && found->second.Decrypted == holder->Decrypted) return &found->second;
    FObjStmBytes -= found->second.Decoded.size();
    FObjStms.erase(found);
  }

  TObjStmCache cache;
  cache.Value = stream;
  cache.Decrypted = holder->Decrypted;
  cache.First = stream->Dictionary->GetInteger("First", 0);
  cache.N = stream->Dictionary->GetInteger("N", 0);
  cache.Usable = cache.First > 0 && cache.N > 0;
  if (cache.Usable) {
    cache.Decoded = stream->GetDecoded();
    const std::string header =
        "[ " + cache.Decoded.substr(0, std::min(cache.Decoded.size(), static_cast<size_t>(cache.First))) + " ]";
    TPDFStructure scratch;
    if (TPDFArray* items = As<TPDFArray>(scratch.Parse(header))) {
      cache.Table.reserve(static_cast<size_t>(items->Count()));
      for (int32_t i = 0; i < items->Count(); ++i) {
        const TPDFNumeric* number = As<TPDFNumeric>(items->GetItem(i));
        cache.Table.push_back(number ? number->Value : std::numeric_limits<double>::quiet_NaN());
      }
    }
  }
  if (FObjStmBytes + cache.Decoded.size() > kObjStmCacheBytes) {
    FObjStms.clear();
    FObjStmBytes = 0;
  }
  FObjStmBytes += cache.Decoded.size();
  return &FObjStms.emplace(holder, std::move(cache)).first->second;
}
