// TSmartPDFReader, opening: header check, end-of-file search and the chain of
// cross-reference sections (classic tables, cross-reference streams, /XRefStm of hybrid files).
#include <algorithm>
#include <atomic>

#include "uPDFObjectStream.h"
#include "uPDFSmartAccess.h"
#include "uPDFSmartAccessText.h"

using pdfchars::DigitsValue;
using pdfchars::IsDigit;
using pdfchars::IsWhite;
using smartaccess::OffsetValue;

namespace {

constexpr int64_t kHeadBytes = 1024;
constexpr int64_t kHeadBytesRepair = int64_t{1} << 20;
constexpr int64_t kTailBytes = 2048;
constexpr int64_t kEOFSearchSpan = 1024;
constexpr int64_t kSectionWindowBefore = 20;
constexpr int64_t kSectionWindow = 40;
constexpr int64_t kSubsectionHead = 20;
constexpr int64_t kEntrySize = 20;
constexpr int64_t kTrailerBytes = 2048;
constexpr int64_t kXRefDictBytes = 1024;
// A cross-reference stream dictionary that does not reach its "stream" keyword within
// kXRefDictBytes (a long /Index, say) is read again with this many bytes.
constexpr int64_t kXRefDictBytesLong = 1 << 20;
constexpr int kMaxFieldWidth = 8;

std::atomic<uint32_t> gReaderInstances{0};

bool IsVersionChar(char c) { return IsDigit(c) || c == '.'; }

// The leading run of digits and '.' of up to 10 bytes at position, when it reads as a number.
bool VersionAt(const std::string& head, size_t position, std::string& version) {
  std::string text = head.substr(std::min(position, head.size()), 10);
  size_t length = 0;
  while (length < text.size() && IsVersionChar(text[length])) ++length;
  text.resize(length);
  size_t dots = std::count(text.begin(), text.end(), '.');
  if (dots > 1 || dots == text.size()) return false;
  version = text;
  return true;
}

}  // namespace

TSmartPDFReader::TSmartPDFReader(const platform::TByteSource& stream, bool allowRepair)
    : Stream(stream), Pool(std::make_unique<TPDFStructure>()), FAllowRepair(allowRepair),
      FInstance(++gReaderInstances), FSize(stream.Size()) {
  if (!CheckHeader()) {
    Warn("no PDF header");
    Status = kNoHeader;
    return;
  }
  const bool chain = ReadChain() && !Trailers.empty();
  if (chain) {
    Trailer = Trailers.front();
    HasEncryptEntry = Trailer->IndexOf("Encrypt") >= 0;
    if (!FAllowRepair || RootReadable()) return;
  }
  if (!FAllowRepair) Warn("the cross-reference data cannot be read");
  if (!FAllowRepair || !Recover(chain ? "the cross-reference data does not lead to the document catalog"
                                      : "the cross-reference data cannot be read")) {
    Trailer = nullptr;
    Status = kNoXRef;
  }
}

void TSmartPDFReader::Warn(const std::string& warning) {
  if (std::find(Warnings.begin(), Warnings.end(), warning) == Warnings.end()) Warnings.push_back(warning);
}

const TPDFFileScan& TSmartPDFReader::Scan() {
  if (!FScan) FScan = std::make_unique<TPDFFileScan>(Stream);
  return *FScan;
}

bool TSmartPDFReader::RootReadable() {
  const TPDFIndRef* root = TrailerReference("Root");
  if (!root) return false;
  if (HasEncryptEntry && IsCompressed(root->ObjNum)) return true;
  TPDFStructure scratch;
  const bool saved = FAllowRepair;
  FAllowRepair = false;  // the table itself is judged, without the scan's help
  const bool readable = As<TPDFDictionary>(FetchObject(root->ObjNum, &scratch)) != nullptr;
  FAllowRepair = saved;
  return readable;
}

namespace {

// A dictionary's key taken from the newest of the dictionaries that have it.
TPDFObject* NewestValue(const std::vector<TPDFDictionary*>& dictionaries, const char* key) {
  for (TPDFDictionary* dictionary : dictionaries)
    if (TPDFObject* value = dictionary->GetValue(key)) return value;
  return nullptr;
}

}  // namespace

bool TSmartPDFReader::Recover(const std::string& reason) {
  const TPDFFileScan& scan = Scan();
  if (scan.Objects().empty()) {
    Warn("no objects found");
    return false;
  }
  Objects.clear();
  Offsets = TSortedNumberList();
  Trailers.clear();
  Trailer = nullptr;
  ClearObjectStreamCache();
  // The last head of a number in the file is its newest definition; entries stored first win.
  const auto& heads = scan.Objects();
  for (auto it = heads.rbegin(); it != heads.rend(); ++it) StoreEntry(it->Num, 'n', it->Offset, it->Gen);
  for (const int64_t offset : scan.Trailers()) Offsets.Add(offset);
  Offsets.Sort();
  // Trailer dictionaries and cross-reference streams, newest first.
  const std::vector<TPDFFileScan::TTrailerSource> sources = scan.TrailerSources();
  std::vector<TPDFDictionary*> found;
  for (const auto& [offset, isStream] : sources) {
    const std::string head = Stream.Read(offset, isStream ? kXRefDictBytes : kSectionWindow);
    const size_t open = head.find("<<");
    if (open == std::string::npos) continue;
    TPDFDictionary* dictionary = isStream ? As<TPDFDictionary>(Pool->Parse(head.data() + open, head.size() - open))
                                          : FindDictionary(offset + 7);
    if (dictionary) found.push_back(dictionary);
  }
  // Object streams of a file that is not encrypted give their members (the data of an
  // encrypted one cannot be read before the key is known); then the cross-reference streams
  // give the entries still missing.
  if (!NewestValue(found, "Encrypt")) {
    for (auto it = heads.rbegin(); it != heads.rend(); ++it) {
      if (it->Kind != TPDFFileScan::kObjectStream) continue;
      const std::string text = Stream.Read(it->Offset, scan.NextObjectAfter(it->Offset) - it->Offset);
      const std::vector<int32_t> members = ObjectStreamMembers(text, it->Num, it->Gen);
      for (size_t index = 0; index < members.size(); ++index)
        StoreEntry(members[index], 'c', it->Num, static_cast<int64_t>(index));
    }
  }
  for (const auto& [offset, isStream] : sources) {
    if (!isStream) continue;
    const std::string head = Stream.Read(offset, kSectionWindow);
    const size_t open = head.find("<<");
    if (open == std::string::npos) continue;
    int64_t prev = 0;
    const size_t before = Trailers.size();
    ReadXRefStream(offset + static_cast<int64_t>(open), &prev);
    Trailers.resize(before);
  }
  Offsets.Sort();
  TPDFDictionary* trailer = Pool->NewDictionary();
  for (const char* key : TPDFFileScan::kTrailerKeys)
    if (TPDFObject* value = NewestValue(found, key)) trailer->SetValue(key, value);
  Trailers.push_back(trailer);
  Trailer = trailer;
  HasEncryptEntry = trailer->IndexOf("Encrypt") >= 0;
  if (!RootReadable()) {
    // No trailer names a catalog that can be read: the newest object that is one serves.
    for (const TPDFFileScan::TObjectAt& catalog : scan.CatalogsNewestFirst()) {
      trailer->SetValue("Root", Pool->NewIndRef(catalog.Num, catalog.Gen));
      if (RootReadable()) break;
    }
  }
  Repaired = true;
  Warn(reason + "; the file was rebuilt from a scan of its objects");
  return true;
}

TSmartPDFReader::~TSmartPDFReader() = default;

bool TSmartPDFReader::CheckHeader() {
  std::string head = Stream.Read(0, kHeadBytes);
  size_t pdf = head.find("%PDF-");
  if (pdf == std::string::npos && FAllowRepair) {
    // Further in, after leading bytes of something else (mail headers, a wrapper).
    const std::string further = Stream.Read(0, kHeadBytesRepair);
    pdf = further.find("%PDF-");
    if (pdf != std::string::npos && VersionAt(further, pdf + 5, Version)) {
      Warn("the file does not start with its PDF header");
      return true;
    }
  }
  if (pdf != std::string::npos) return VersionAt(head, pdf + 5, Version);
  size_t ps = head.find("%!PS-Adobe-");
  if (ps == std::string::npos) return false;
  std::string after = head.substr(ps + 11, 20);
  size_t marker = after.find("PDF-");
  return marker != std::string::npos && VersionAt(head, ps + 11 + marker + 4, Version);
}

bool TSmartPDFReader::ReadChain() {
  if (!FindStartXRef()) return false;
  // Each section names the next older one through /Prev (0 when it has none).
  bool ok = true;
  for (int64_t offset = StartXRef; ok && offset > 0;) {
    int64_t prev = 0;
    ok = ReadSection(offset, prev);
    offset = prev;
  }
  Offsets.Sort();
  return ok;
}

bool TSmartPDFReader::FindStartXRef() {
  int64_t width = FSize > kTailBytes ? kTailBytes : FSize - 1;
  if (width < 5) return false;
  std::string tail = Stream.Read(FSize - width, width);
  int64_t length = static_cast<int64_t>(tail.size());
  int64_t limit = std::max<int64_t>(0, length - kEOFSearchSpan);
  int64_t eof = -1;
  for (int64_t i = length - 5; i >= limit; --i) {
    if (tail.compare(static_cast<size_t>(i), 5, "%%EOF") == 0) {
      eof = i;
      break;
    }
  }
  if (eof < 0) return false;
  // A newer revision after this %%EOF whose own end was cut off: its table cannot be found
  // from here, and the older one this end leads to would be read in its place.
  if (FAllowRepair) {
    const std::string_view after = std::string_view(tail).substr(static_cast<size_t>(eof) + 5);
    if (after.find("trailer") != std::string_view::npos || after.find("startxref") != std::string_view::npos ||
        after.find(" obj") != std::string_view::npos)
      return false;
  }
  int64_t end = eof - 1;
  // Only white space between the offset and %%EOF, and only white space between the
  // "startxref" keyword and the offset: anything else is an end that was cut or damaged.
  while (end >= limit && IsWhite(tail[static_cast<size_t>(end)])) --end;
  if (end < limit || !IsDigit(tail[static_cast<size_t>(end)])) return false;
  int64_t begin = end;
  while (begin - 1 >= limit && IsDigit(tail[static_cast<size_t>(begin - 1)])) --begin;
  if (end < limit) return false;
  // Offsets past 2^53 cannot name a byte of any real file.
  StartXRef = std::max<int64_t>(
      0, DigitsValue(std::string_view(tail).substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin + 1)),
                     -1, int64_t{1} << 53));
  if (begin == 0) return false;
  int64_t gap = begin - 1;
  while (gap >= 0 && IsWhite(tail[static_cast<size_t>(gap)])) --gap;
  if (gap < 8 || gap == begin - 1 || tail.compare(static_cast<size_t>(gap - 8), 9, "startxref") != 0) return false;
  return StartXRef > 0;
}

bool TSmartPDFReader::ReadSection(int64_t offset, int64_t& prev) {
  // A section already read ends the chain there: a /Prev loop reads every section once.
  if (!FVisitedSections.insert(offset).second) return true;
  if (++FSectionsRead > kMaxSections) return false;
  Offsets.Add(offset);
  int64_t windowStart = std::max<int64_t>(0, offset - kSectionWindowBefore);
  std::string window = Stream.Read(windowStart, kSectionWindow);
  size_t atOffset = static_cast<size_t>(offset - windowStart);
  if (atOffset >= window.size()) return false;

  size_t xref = window.find("xref");
  size_t txref = window.find("txref");
  size_t dict = window.find("<<");
  if (txref != std::string::npos && xref != std::string::npos && txref < xref && dict == std::string::npos)
    xref = window.find("xref", txref + 5);
  // A table keyword right at the offset is a classic table even when the window reaches a
  // "<<" (of an empty table's trailer, or of an object just before the table).
  size_t first = atOffset;
  while (first < window.size() && IsWhite(window[first])) ++first;
  if (window.compare(first, 4, "xref") == 0) return ReadClassicTable(windowStart + first + 4, prev);
  if (xref != std::string::npos && dict == std::string::npos) return ReadClassicTable(windowStart + xref + 4, prev);
  if (dict == std::string::npos) return false;
  // Prefer the dictionary of the object at the offset to one that ends just before it.
  size_t own = window.find("<<", atOffset);
  return ReadXRefStream(windowStart + (own != std::string::npos ? own : dict), &prev);
}

void TSmartPDFReader::GrowObjects(int64_t first, int64_t count) {
  int64_t want = std::min<int64_t>(first + count, int64_t{kMaxObjectNumber} + 1);
  if (first <= kMaxObjectNumber && static_cast<int64_t>(Objects.size()) < want)
    Objects.resize(static_cast<size_t>(want));
}

void TSmartPDFReader::StoreEntry(int64_t objNum, char kind, int64_t location, int64_t generation) {
  if (objNum < 0 || objNum > kMaxObjectNumber) return;
  if (kind == 'n') Offsets.Add(location);
  if (static_cast<int64_t>(Objects.size()) <= objNum) Objects.resize(static_cast<size_t>(objNum) + 1);
  TSmartPDFObjectEntry& slot = Objects[static_cast<size_t>(objNum)];
  // The newest section is read first, so the first entry stored for a number wins.
  if (slot.Number == objNum) return;
  slot.Number = static_cast<int32_t>(objNum);
  slot.Location = location;
  slot.Generation = static_cast<int32_t>(std::clamp<int64_t>(generation, INT32_MIN, INT32_MAX));
  slot.Kind = kind;
}

namespace {

// Reads one classic subsection head ("first count") from the 20 bytes at its position.
// Returns false when the head runs past those bytes; advance gets the bytes passed.
bool ReadSubsectionHead(const std::string& bytes, int64_t& first, int64_t& count, size_t& advance) {
  size_t i = 0;
  auto skipNonDigits = [&] {
    while (i < bytes.size() && !IsDigit(bytes[i])) ++i;
    return i < bytes.size();
  };
  auto digits = [&] {
    size_t start = i;
    while (i < bytes.size() && IsDigit(bytes[i])) ++i;
    return std::string_view(bytes).substr(start, i - start);
  };
  if (!skipNonDigits()) return false;
  std::string_view firstText = digits();
  if (!skipNonDigits()) return false;
  std::string_view countText = digits();
  if (!skipNonDigits()) return false;
  first = DigitsValue(firstText, -1, INT32_MAX);
  count = DigitsValue(countText, -1, INT32_MAX);
  advance = i;
  // A count no table can hold is a damaged head, not an empty subsection.
  return count >= 0;
}

// A fixed-width field of a classic entry: leading blanks, then digits; anything else reads 0.
int64_t EntryField(std::string_view field, int64_t limit) {
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  return std::max<int64_t>(0, DigitsValue(field, -1, limit));
}

}  // namespace

bool TSmartPDFReader::ReadClassicTable(int64_t position, int64_t& prev) {
  for (;;) {
    std::string head = Stream.Read(position, kSubsectionHead);
    if (head.find("trailer") != std::string::npos) break;
    int64_t first = -1, count = 0;
    size_t advance = 0;
    if (!ReadSubsectionHead(head, first, count, advance)) return false;
    position += static_cast<int64_t>(advance);
    if (first < 0 || count <= 0) break;
    // Only entries that are really in the file are read.
    int64_t available = std::max<int64_t>(0, (FSize - position) / kEntrySize);
    int64_t present = std::min(count, available);
    std::string entries = Stream.Read(position, present * kEntrySize);
    present = static_cast<int64_t>(entries.size()) / kEntrySize;
    GrowObjects(first, present);
    for (int64_t j = 0; j < present; ++j) {
      std::string_view entry = std::string_view(entries).substr(static_cast<size_t>(j * kEntrySize), kEntrySize);
      int64_t location = EntryField(entry.substr(0, 10), int64_t{1} << 53);
      int64_t generation = EntryField(entry.substr(11, 5), INT32_MAX);
      StoreEntry(first + j, entry[17], location, generation);
    }
    position += count * kEntrySize;
    if (present < count) break;
  }
  TPDFDictionary* trailer = FindDictionary(position);
  if (!trailer) return false;
  Trailers.push_back(trailer);
  // Hybrid file: the stream's entries come after this table's and before older sections'.
  int64_t hybrid = OffsetValue(trailer->GetValue("XRefStm"));
  if (hybrid > 0 && FVisitedSections.insert(hybrid).second) {
    Offsets.Add(hybrid);
    std::string window = Stream.Read(hybrid, kSectionWindow);
    size_t dict = window.find("<<");
    if (dict != std::string::npos) ReadXRefStream(hybrid + static_cast<int64_t>(dict), nullptr);
  }
  if (!As<TPDFNumeric>(trailer->GetValue("Prev"))) return true;
  // A direct /Prev must name a section; 0 or an impossible offset is a damaged chain.
  prev = OffsetValue(trailer->GetValue("Prev"));
  return prev > 0;
}

TPDFDictionary* TSmartPDFReader::FindDictionary(int64_t position) {
  std::string text = Stream.Read(position, kTrailerBytes);
  size_t open = text.find("<<");
  if (open == std::string::npos || text.find(">>") == std::string::npos) return nullptr;
  text.erase(0, open);
  if (!text.empty()) text.pop_back();
  while (!text.empty() && !(text.size() >= 2 && text.compare(text.size() - 2, 2, ">>") == 0)) text.pop_back();
  if (text.size() < 4 || text.compare(0, 2, "<<") != 0) return nullptr;
  return As<TPDFDictionary>(Pool->Parse(text));
}

namespace {

// An unsigned big-endian field of 1 to 8 bytes; other widths read 0 and take no bytes.
uint64_t ReadField(const std::string& data, size_t& position, int64_t width) {
  if (width < 1 || width > kMaxFieldWidth) return 0;
  uint64_t value = 0;
  for (int64_t k = 0; k < width; ++k) value = (value << 8) | static_cast<uint8_t>(data[position++]);
  return value;
}

int64_t FieldWidth(const TPDFArray* widths, int32_t index) {
  const TPDFNumeric* number = As<TPDFNumeric>(widths->GetItem(index));
  return number ? number->AsInteger() : 0;
}

// The dictionary at the start of text, parsed into pool; hasData tells whether the "stream"
// keyword follows it, and start where its data begin then.
TPDFDictionary* StreamDictionary(TPDFStructure& pool, const std::string& text, bool& hasData, size_t& start) {
  TPDFTextSpans spans;
  auto* dictionary = As<TPDFDictionary>(pool.Parse(text.data(), text.size(), spans));
  TPDFStreamBounds bounds;
  hasData = dictionary && FindStreamData(text, spans.End, -1, bounds);
  start = bounds.Start;
  return dictionary;
}

}  // namespace

// Without prev: the /XRefStm of a hybrid file, which adds entries only (no trailer, no /Prev).
bool TSmartPDFReader::ReadXRefStream(int64_t dictStart, int64_t* prev) {
  std::string head = Stream.Read(dictStart, kXRefDictBytes);
  size_t dataStart = 0;
  bool hasData = false;
  TPDFDictionary* dict = StreamDictionary(*Pool, head, hasData, dataStart);
  if (!hasData && static_cast<int64_t>(head.size()) == kXRefDictBytes) {
    head = Stream.Read(dictStart, kXRefDictBytesLong);
    dict = StreamDictionary(*Pool, head, hasData, dataStart);
  }
  if (!dict || dict->GetTypeName() != "XRef") return false;
  if (prev) Trailers.push_back(dict);
  const TPDFNumeric* size = As<TPDFNumeric>(dict->GetValue("Size"));
  if (!size) return false;

  std::vector<std::pair<int64_t, int64_t>> ranges;
  if (const TPDFArray* index = As<TPDFArray>(dict->GetValue("Index"))) {
    for (int32_t i = 0; i + 1 < index->Count(); i += 2) {
      const TPDFNumeric* first = As<TPDFNumeric>(index->GetItem(i));
      const TPDFNumeric* count = As<TPDFNumeric>(index->GetItem(i + 1));
      ranges.emplace_back(first ? first->AsInteger() : 0, count ? count->AsInteger() : 0);
    }
  } else {
    ranges.emplace_back(0, size->AsInteger());
  }
  if (prev) *prev = std::max<int64_t>(0, OffsetValue(dict->GetValue("Prev")));

  const TPDFArray* widths = As<TPDFArray>(dict->GetValue("W"));
  if (widths && widths->Count() >= 3 && hasData) {
    int64_t w1 = FieldWidth(widths, 0), w2 = FieldWidth(widths, 1), w3 = FieldWidth(widths, 2);
    int64_t length = OffsetValue(dict->GetValue("Length"));
    int64_t streamStart = dictStart + static_cast<int64_t>(dataStart);
    std::string raw = Stream.Read(streamStart, length >= 0 ? length : kXRefDictBytes);
    if (!raw.empty()) {
      TPDFStream* stream = Pool->NewStream(std::string());
      stream->Data = std::move(raw);
      stream->SetDictionary(dict);
      std::string data = stream->GetDecoded();
      auto used = [](int64_t w) { return w >= 1 && w <= kMaxFieldWidth ? w : 0; };
      size_t entrySize = static_cast<size_t>(used(w1) + used(w2) + used(w3));
      size_t position = 0;
      for (const auto& [first, count] : ranges) {
        if (first < 0 || count <= 0 || entrySize == 0) continue;
        int64_t present = std::min<int64_t>(count, static_cast<int64_t>((data.size() - position) / entrySize));
        GrowObjects(first, present);
        for (int64_t j = 0; j < present; ++j) {
          uint64_t type = w1 == 0 ? 1 : ReadField(data, position, w1);
          uint64_t field2 = ReadField(data, position, w2);
          uint64_t field3 = ReadField(data, position, w3);
          int64_t location = static_cast<int64_t>(std::min<uint64_t>(field2, INT64_MAX));
          int64_t generation = static_cast<int64_t>(std::min<uint64_t>(field3, INT32_MAX));
          switch (type) {
            case 0: StoreEntry(first + j, 'f', location, generation); break;
            case 1: StoreEntry(first + j, 'n', location, generation); break;
            case 2: StoreEntry(first + j, 'c', location, generation); break;
            default: StoreEntry(first + j, 'f', 0, 0); break;
          }
        }
      }
    }
  }
  return true;
}
