#include "uPDFFileScan.h"

#include <algorithm>
#include <string_view>

#include "uPDFCharClass.h"

namespace {

using pdfchars::IsDelimiter;
using pdfchars::IsDigit;
using pdfchars::IsWhite;

// Bytes read at a time, and the bytes each read shares with the one before, so that a head
// (and the start of the value it introduces) across two reads is seen whole.
constexpr int64_t kChunk = int64_t{4} << 20;
constexpr size_t kOverlap = 1024;
constexpr int64_t kLead = 32;
// Bytes after a head looked at for the object's /Type.
constexpr size_t kTypeWindow = 1024;

bool EndsToken(const std::string& bytes, size_t at) {
  return at >= bytes.size() || IsWhite(bytes[at]) || IsDelimiter(bytes[at]);
}

// The digits that end just before at (at most maxDigits of them); their start, or npos.
size_t DigitsBefore(const std::string& bytes, size_t at, size_t maxDigits) {
  size_t start = at;
  while (start > 0 && IsDigit(bytes[start - 1]) && at - start < maxDigits) --start;
  return start == at ? std::string::npos : start;
}

int64_t ValueOf(std::string_view digits) { return pdfchars::DigitsValue(digits, -1, INT32_MAX); }

}  // namespace

TPDFFileScan::TPDFFileScan(const platform::TByteSource& file) : FSize(file.Size()) {
  // Each read starts a little before the part it is responsible for (so a head starting
  // there sees what precedes it) and runs on past it (so a head or type ending there is read
  // whole); a head or trailer counts in the read whose part holds its first byte.
  for (int64_t from = 0; from < FSize;) {
    const int64_t to = std::min(FSize, from + kChunk);
    const int64_t origin = std::max<int64_t>(0, from - kLead);
    const std::string bytes = file.Read(origin, to - origin + static_cast<int64_t>(kOverlap));
    if (bytes.empty()) break;
    ScanChunk(bytes, origin, static_cast<size_t>(from - origin), static_cast<size_t>(to - origin));
    from = to;
  }
}

void TPDFFileScan::ScanChunk(const std::string& bytes, int64_t origin, size_t from, size_t to) {
  const std::string_view view(bytes);
  // Object heads: digits, white space, digits, white space, "obj" ending as a token.
  for (size_t at = view.find("obj", from); at != std::string_view::npos && at < to + kLead;
       at = view.find("obj", at + 3)) {
    if (!EndsToken(bytes, at + 3) || at == 0 || !IsWhite(bytes[at - 1])) continue;
    size_t p = at;
    while (p > 0 && IsWhite(bytes[p - 1])) --p;
    const size_t genStart = DigitsBefore(bytes, p, 5);
    if (genStart == std::string::npos || genStart == 0 || !IsWhite(bytes[genStart - 1])) continue;
    size_t q = genStart;
    while (q > 0 && IsWhite(bytes[q - 1])) --q;
    const size_t numStart = DigitsBefore(bytes, q, 10);
    if (numStart == std::string::npos || numStart < from || numStart >= to) continue;
    if (numStart > 0 && !IsWhite(bytes[numStart - 1]) && !IsDelimiter(bytes[numStart - 1])) continue;
    const int64_t num = ValueOf(view.substr(numStart, q - numStart));
    const int64_t gen = ValueOf(view.substr(genStart, p - genStart));
    if (num < 1 || gen < 0 || gen > 65535) continue;
    TObjectAt object{static_cast<int32_t>(num), static_cast<int32_t>(gen), origin + static_cast<int64_t>(numStart),
                     KindAt(bytes, at + 3)};
    FLast[object.Num] = FObjects.size();
    FObjects.push_back(object);
  }
  for (size_t at = view.find("trailer", from); at != std::string_view::npos && at < to;
       at = view.find("trailer", at + 7)) {
    if (EndsToken(bytes, at + 7) && (at == 0 || IsWhite(bytes[at - 1]) || IsDelimiter(bytes[at - 1])))
      FTrailers.push_back(origin + static_cast<int64_t>(at));
  }
}

// What kind of object the value after a head is, from the /Type of its dictionary (looked for
// before any "stream" or "endobj" that ends the dictionary's part of the object).
uint8_t TPDFFileScan::KindAt(const std::string& bytes, size_t valueStart) const {
  std::string_view window = std::string_view(bytes).substr(std::min(valueStart, bytes.size()), kTypeWindow);
  window = window.substr(0, std::min(window.find("stream"), window.find("endobj")));
  for (size_t at = window.find("/Type"); at != std::string_view::npos; at = window.find("/Type", at + 5)) {
    size_t p = at + 5;
    while (p < window.size() && IsWhite(window[p])) ++p;
    const std::string_view name = window.substr(p);
    auto is = [&](std::string_view word) {
      return name.substr(0, word.size()) == word && (name.size() == word.size() || IsWhite(name[word.size()]) ||
                                                      IsDelimiter(name[word.size()]));
    };
    if (is("/Catalog")) return kCatalog;
    if (is("/XRef")) return kXRefStream;
    if (is("/ObjStm")) return kObjectStream;
  }
  return kPlain;
}

const TPDFFileScan::TObjectAt* TPDFFileScan::Find(int32_t objNum) const {
  auto found = FLast.find(objNum);
  return found == FLast.end() ? nullptr : &FObjects[found->second];
}

int64_t TPDFFileScan::NextObjectAfter(int64_t offset) const {
  auto next = std::upper_bound(FObjects.begin(), FObjects.end(), offset,
                               [](int64_t value, const TObjectAt& object) { return value < object.Offset; });
  return next == FObjects.end() ? FSize : next->Offset;
}

std::vector<TPDFFileScan::TTrailerSource> TPDFFileScan::TrailerSources() const {
  std::vector<TTrailerSource> sources;
  for (const int64_t offset : FTrailers) sources.push_back({offset, false});
  for (const TObjectAt& object : FObjects)
    if (object.Kind == kXRefStream) sources.push_back({object.Offset, true});
  std::sort(sources.begin(), sources.end(),
            [](const TTrailerSource& a, const TTrailerSource& b) { return a.Offset > b.Offset; });
  return sources;
}

std::vector<TPDFFileScan::TObjectAt> TPDFFileScan::CatalogsNewestFirst() const {
  std::vector<TObjectAt> catalogs;
  for (auto it = FObjects.rbegin(); it != FObjects.rend(); ++it)
    if (it->Kind == kCatalog) catalogs.push_back(*it);
  return catalogs;
}
