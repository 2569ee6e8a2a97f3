#include "uPDFXRef.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "uPDFDocNumbers.h"
#include "uPDFObjectText.h"
#include "uPDFStructure.h"

using pdfdoc::DigitsValue;
using pdfdoc::IsDigit;
using pdfdoc::IsWhite;
using pdfdoc::NumberOr;

namespace {

constexpr int64_t kTailSize = 1024;
constexpr int64_t kStartXRefScan = 5000;
constexpr int64_t kSectionWindow = 40;
constexpr int64_t kSectionLead = 10;
constexpr int64_t kHeaderWindow = 20;
constexpr int64_t kEntrySize = 20;
constexpr int64_t kTrailerWindow = 2048;
constexpr int kMaxFieldWidth = 8;
constexpr int64_t kEntriesPerRead = 4096;

// Big-endian unsigned field of width 1..8 at data[pos]; the caller made sure it fits.
int64_t ReadField(std::string_view data, size_t pos, int width) {
  uint64_t value = 0;
  for (int i = 0; i < width; ++i) value = (value << 8) | static_cast<uint8_t>(data[pos + i]);
  return value > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(value);
}

// Bytes a field of this width takes: widths 1..8 are read, any other width reads nothing.
int FieldBytes(int64_t width) { return width >= 1 && width <= kMaxFieldWidth ? static_cast<int>(width) : 0; }

}  // namespace

int64_t TPDFXRefReader::FindStartXRef() const {
  const int64_t size = Stream.Size();
  const int64_t tailStart = std::max<int64_t>(0, size - kTailSize);
  std::string tailBuffer;
  std::string_view tail = ReadAt(tailStart, size - tailStart, tailBuffer);
  size_t eof = tail.rfind("%%EOF");
  if (eof == std::string_view::npos) return 0;
  // A newer revision after this %%EOF whose own end was cut off: its table cannot be found
  // from here, and the older one this end leads to would be read in its place.
  if (RejectCutRevision) {
    const std::string_view after = tail.substr(eof + 5);
    if (after.find("trailer") != std::string_view::npos || after.find("startxref") != std::string_view::npos ||
        after.find(" obj") != std::string_view::npos)
      return 0;
  }
  const int64_t eofOffset = tailStart + static_cast<int64_t>(eof);
  const int64_t before = std::min(eofOffset, kStartXRefScan);
  std::string textBuffer;
  std::string_view text = ReadAt(eofOffset - before, before, textBuffer);
  size_t end = text.size();
  while (end > 0 && IsWhite(text[end - 1])) --end;
  size_t start = end;
  while (start > 0 && IsDigit(text[start - 1])) --start;
  // The offset follows the "startxref" keyword, white space between.
  size_t keyword = start;
  while (keyword > 0 && IsWhite(text[keyword - 1])) --keyword;
  if (keyword == start || keyword < 9 || text.substr(keyword - 9, 9) != "startxref") return 0;
  return DigitsValue(text.substr(start, end - start), 0);
}

std::vector<int64_t> TPDFXRefReader::SectionOffsets() const {
  std::vector<int64_t> offsets;
  offsets.reserve(FVisited.size());
  for (const auto& [offset, ok] : FVisited) offsets.push_back(offset);
  std::sort(offsets.begin(), offsets.end());
  return offsets;
}

bool TPDFXRefReader::ReadSection(int64_t offset) {
  FVisited.clear();
  FAborted = false;
  FReported = 0;
  return ReadChain(offset, 0);
}

bool TPDFXRefReader::ReadChain(int64_t offset, int depth) {
  for (;;) {
    if (FAborted) return false;
    auto seen = FVisited.find(offset);
    if (seen != FVisited.end()) return seen->second;
    FVisited.emplace(offset, true);
    TStep step = ReadOne(offset, depth);
    if (FAborted) return false;
    if (!step.Ok) {
      FVisited[offset] = false;
      return false;
    }
    if (!step.HasNext) return true;
    offset = step.Next;
  }
}

TPDFXRefReader::TStep TPDFXRefReader::ReadOne(int64_t offset, int depth) {
  const int64_t windowStart = offset < kSectionLead ? 0 : offset - kSectionLead;
  std::string buffer;
  std::string_view window = ReadAt(windowStart, kSectionWindow, buffer);
  size_t txref = window.find("txref");
  size_t xref = window.find("xref");
  size_t obj = window.find(" obj");
  if (txref != std::string_view::npos && xref == txref + 1) xref = std::string_view::npos;
  if (xref == std::string_view::npos && obj != std::string_view::npos)
    return ReadXRefStream(windowStart + static_cast<int64_t>(obj) + 4);
  if (xref != std::string_view::npos && (obj == std::string_view::npos || obj > xref))
    return ReadTable(windowStart + static_cast<int64_t>(xref) + 4, depth);
  return {};
}

void TPDFXRefReader::Report(int32_t objNum, int64_t field2, int64_t field3, char kind) {
  ++FReported;
  if (OnEntry) OnEntry(objNum, field2, field3, kind);
}

TPDFXRefReader::TStep TPDFXRefReader::ReadTable(int64_t position, int depth) {
  // Subsections: a header of two numbers, then count entries of exactly 20 bytes.
  std::string buffer;
  std::string blockBuffer;
  for (;;) {
    std::string_view header = ReadAt(position, kHeaderWindow, buffer);
    if (header.find("trailer") != std::string_view::npos) break;
    size_t i = 0;
    auto skipToDigit = [&] {
      while (i < header.size() && !IsDigit(header[i])) ++i;
      return i < header.size();
    };
    auto digits = [&] {
      size_t start = i;
      while (i < header.size() && IsDigit(header[i])) ++i;
      return header.substr(start, i - start);
    };
    if (!skipToDigit()) {
      FAborted = true;
      return {};
    }
    const int64_t first = DigitsValue(digits(), -1, INT32_MAX);
    if (!skipToDigit()) {
      FAborted = true;
      return {};
    }
    const int64_t count = DigitsValue(digits(), -1, INT32_MAX);
    // A count no table can hold is a damaged head, not an empty subsection.
    if (count < 0 || !skipToDigit()) {
      FAborted = true;
      return {};
    }
    position += static_cast<int64_t>(i);
    if (first < 0 || count <= 0) break;

    // The entries, a block at a time; an entry counts when its kind byte was read.
    const int64_t present = std::min(count, int64_t{INT32_MAX} - first + 1);
    for (int64_t done = 0; done < present && FReported < MaxEntries;) {
      const int64_t step = std::min(present - done, kEntriesPerRead);
      std::string_view block = ReadAt(position + done * kEntrySize, step * kEntrySize, blockBuffer);
      const int64_t whole = std::min(step, static_cast<int64_t>(block.size() + 2) / kEntrySize);
      for (int64_t e = 0; e < whole && FReported < MaxEntries; ++e) {
        std::string_view entry = block.substr(static_cast<size_t>(e * kEntrySize));
        const int64_t offset = DigitsValue(entry.substr(0, 10), 0);
        const int64_t generation = DigitsValue(entry.substr(11, 5), 0);
        Report(static_cast<int32_t>(first + done + e), offset, generation, entry[17]);
      }
      if (whole < step) break;
      done += step;
    }
    position += count * kEntrySize;
  }

  // The trailer: the dictionary after "trailer" and the one white-space byte that follows it
  // ("trailer<<" is a trailer too).
  std::string_view window = ReadAt(position, kTrailerWindow, buffer);
  size_t keyword = window.find("trailer");
  if (keyword == std::string_view::npos) return {};
  size_t skip = keyword + 7;
  if (skip < window.size() && IsWhite(window[skip])) ++skip;
  std::string_view rest = window.substr(skip);
  if (rest.find("<<") == std::string_view::npos || rest.find(">>") == std::string_view::npos) return {};
  TPDFStructure structure;
  TPDFDictionary* trailer = As<TPDFDictionary>(structure.Parse(rest.data(), rest.size()));
  if (!trailer) return {};
  if (OnTrailer) OnTrailer(trailer->ToText());

  TPDFObject* xrefStm = trailer->GetValue("XRefStm");
  if (As<TPDFNumeric>(xrefStm) && depth < kMaxNesting) ReadChain(NumberOr(xrefStm, 0), depth + 1);
  TPDFObject* prev = trailer->GetValue("Prev");
  if (!As<TPDFNumeric>(prev)) return {true, false, 0};
  return {true, true, NumberOr(prev, 0)};
}

TPDFXRefReader::TStep TPDFXRefReader::ReadXRefStream(int64_t position) {
  std::string buffer;
  std::string_view window = ReadAt(position, kTrailerWindow, buffer);
  TPDFStructure structure;
  TPDFTextSpans spans;
  TPDFDictionary* dict = As<TPDFDictionary>(structure.Parse(window.data(), window.size(), spans));
  if (!dict || dict->GetTypeName() != "XRef" || !As<TPDFNumeric>(dict->GetValue("Size"))) return {};
  const int64_t size = NumberOr(dict->GetValue("Size"), 0);

  std::vector<std::pair<int64_t, int64_t>> pairs;
  if (TPDFArray* index = As<TPDFArray>(dict->GetValue("Index"))) {
    for (int32_t k = 0; k + 1 < index->Count(); k += 2)
      pairs.emplace_back(NumberOr(index->GetItem(k), 0), NumberOr(index->GetItem(k + 1), 0));
  } else {
    pairs.emplace_back(0, size);
  }
  const int64_t prev = NumberOr(dict->GetValue("Prev"), 0);

  int widths[3] = {0, 0, 0};
  bool haveWidths = false;
  if (TPDFArray* w = As<TPDFArray>(dict->GetValue("W")); w && w->Count() >= 3) {
    haveWidths = true;
    for (int k = 0; k < 3; ++k) widths[k] = FieldBytes(NumberOr(w->GetItem(k), 0));
  }

  // The data start after the "stream" keyword that follows the dictionary.
  TPDFStreamBounds bounds;
  const bool isStream = FindStreamData(window, spans.End, -1, bounds);
  TPDFNumeric* lengthValue = As<TPDFNumeric>(dict->GetValue("Length"));
  if (haveWidths && isStream && lengthValue) {
    const int64_t dataStart = position + static_cast<int64_t>(bounds.Start);
    std::string dataBuffer;
    std::string_view raw = ReadAt(dataStart, pdfdoc::ToInt64(lengthValue->Value), dataBuffer);
    if (!raw.empty()) {
      TPDFStream* stream = structure.NewStream(std::string());
      stream->Data.assign(raw);
      stream->SetDictionary(dict);
      const std::string decoded = stream->GetDecoded();
      const std::string_view data(decoded);
      const size_t entryBytes = static_cast<size_t>(widths[0] + widths[1] + widths[2]);
      size_t pos = 0;
      for (auto [first, count] : pairs) {
        if (entryBytes == 0) break;
        // Object numbers below 0 are read past; an entry that does not fit in the data ends them.
        for (int64_t n = 0; n < count && first + n <= INT32_MAX && FReported < MaxEntries; ++n) {
          if (data.size() - pos < entryBytes) break;
          int64_t type = widths[0] ? ReadField(data, pos, widths[0]) : 1;
          pos += widths[0];
          int64_t field2 = widths[1] ? ReadField(data, pos, widths[1]) : 0;
          pos += widths[1];
          int64_t field3 = widths[2] ? ReadField(data, pos, widths[2]) : 0;
          pos += widths[2];
          if (first + n < 0) continue;
          const int32_t objNum = static_cast<int32_t>(first + n);
          if (type == 0) Report(objNum, field2, field3, 'f');
          else if (type == 1) Report(objNum, field2, field3, 'n');
          else if (type == 2) Report(objNum, field2, field3, 'c');
          else Report(objNum, 0, 0, ' ');
        }
      }
    }
  }

  if (OnTrailer) OnTrailer(dict->ToText());
  if (prev > 0) return {true, true, prev};
  return {true, false, 0};
}
