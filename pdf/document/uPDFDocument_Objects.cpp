// TPDFDocument: lazy loading of one object from its text (a range of the file, or a piece
// of a decoded object stream), and the stream data that follows a stream's dictionary.
#include <algorithm>
#include <cmath>
#include <limits>

#include "uPDFDocNumbers.h"
#include "uPDFDocument.h"

using pdfdoc::IsDigit;
using pdfdoc::IsWhite;

namespace {

bool IsNumberChar(char c) { return IsDigit(c) || c == '.'; }

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

// Where the value starts in an object's text: after "n g obj" with the numbers the store
// expects ("obj" may be glued to the value's "<<" or "["); npos when the text does not start
// as that object.
size_t TPDFDocument::ValueStart(std::string_view text, const TPDFIndObj* object) {
  const size_t n = text.size();
  size_t p = 0;
  auto readNumber = [&] {
    while (p < n && !IsNumberChar(text[p])) ++p;
    const size_t start = p;
    while (p < n && IsNumberChar(text[p])) ++p;
    return pdfdoc::DigitsValue(text.substr(start, p - start), 0);
  };
  const int64_t objNum = readNumber();
  const int64_t genNum = readNumber();
  if (objNum != object->ObjNum || genNum != object->GenNum) return std::string_view::npos;

  while (p < n && IsWhite(text[p])) ++p;
  std::string_view rest = text.substr(p);
  const bool glued = rest.substr(0, 5) == "obj<<" || rest.substr(0, 4) == "obj[";
  if (!glued) {
    size_t end = 0;
    while (end < rest.size() && !IsWhite(rest[end])) ++end;
    if (rest.substr(0, end) != "obj") return std::string_view::npos;
  }
  return p + 3;
}

// "n g obj" with the numbers the store expects, then the value; anything else is null.
// When holder holds text (and nothing else needs it), stream data is taken out of it.
TPDFObject* TPDFDocument::ParseObjectText(TPDFIndObj* object, std::string_view text, std::string* holder) {
  const size_t start = ValueStart(text, object);
  if (start == std::string_view::npos) return Structure->NewNull();
  std::string_view body = text.substr(start);

  TPDFObject* value = nullptr;
  try {
    value = Structure->Parse(body.data(), body.size());
  } catch (const std::exception&) {
    value = nullptr;
  }
  if (!value) return Structure->NewNull();
  if (TPDFDictionary* dict = As<TPDFDictionary>(value))
    if (TPDFObject* stream = MakeStream(dict, text, holder)) return stream;
  return value;
}

// The stream whose dictionary is dict, when the object's text holds "stream" followed by an
// end-of-line and an "endstream", and dict has a numeric /Length (directly or through a
// reference to a number of the store). The data is /Length bytes after the end-of-line, cut
// at the end of the object's text; "endstream" does not correct it.
TPDFObject* TPDFDocument::MakeStream(TPDFDictionary* dict, std::string_view text, std::string* holder) {
  const size_t keyword = text.find("stream");
  if (keyword == std::string_view::npos || text.find("endstream") == std::string_view::npos) return nullptr;
  size_t start = keyword + 6;
  if (start >= text.size()) return nullptr;
  if (text[start] == '\r') start += start + 1 < text.size() && text[start + 1] == '\n' ? 2 : 1;
  else if (text[start] == '\n') start += 1;
  else return nullptr;

  TPDFObject* lengthValue = dict->GetValue("Length");
  TPDFNumeric* length = As<TPDFNumeric>(lengthValue);
  if (TPDFIndRef* ref = As<TPDFIndRef>(lengthValue))
    length = As<TPDFNumeric>(GetLoadedValue(FindObject(ref->ObjNum, ref->GenNum)));
  if (!length) return nullptr;
  int64_t size = pdfdoc::ToInt64(std::nearbyint(length->Value));
  size = std::max<int64_t>(0, std::min<int64_t>(size, static_cast<int64_t>(text.size() - start)));

  TPDFStream* stream = Structure->NewStream(std::string());
  stream->Dictionary->Assign(dict);
  if (holder) {
    // The data is moved out of the text's own buffer rather than copied (large streams).
    holder->resize(start + static_cast<size_t>(size));
    holder->erase(0, start);
    stream->Data = std::move(*holder);
  } else {
    stream->Data.assign(text.substr(start, static_cast<size_t>(size)));
  }
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
