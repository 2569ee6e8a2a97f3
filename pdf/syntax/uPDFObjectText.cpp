#include "uPDFObjectText.h"

#include "uPDFCharClass.h"

namespace {

using pdfchars::IsDelimiter;
using pdfchars::IsDigit;
using pdfchars::IsWhite;
using pdfchars::SkipWhiteAndComments;

constexpr std::string_view kStream = "stream";
constexpr std::string_view kEndStream = "endstream";

// Where the data start after the keyword that ends at from: past blanks and one line end
// (CR LF, LF, or a lone CR as some writers leave it).
size_t AfterKeywordLine(std::string_view text, size_t from) {
  size_t p = from;
  while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
  if (p < text.size() && text[p] == '\r') return p + 1 < text.size() && text[p + 1] == '\n' ? p + 2 : p + 1;
  if (p < text.size() && text[p] == '\n') return p + 1;
  return from;  // no line end: the data follow the keyword at once
}

bool EndStreamAt(std::string_view text, size_t at) {
  at = SkipWhiteAndComments(text, at);
  return text.substr(at, kEndStream.size()) == kEndStream;
}

}  // namespace

bool StreamKeywordFollows(std::string_view text, size_t dictEnd) {
  return dictEnd <= text.size() && text.substr(SkipWhiteAndComments(text, dictEnd), kStream.size()) == kStream;
}

bool FindStreamData(std::string_view text, size_t dictEnd, int64_t declaredLength, TPDFStreamBounds& bounds) {
  bounds = TPDFStreamBounds();
  if (dictEnd > text.size()) return false;
  const size_t keyword = SkipWhiteAndComments(text, dictEnd);
  if (text.substr(keyword, kStream.size()) != kStream) return false;
  const size_t start = AfterKeywordLine(text, keyword + kStream.size());
  const size_t available = text.size() - start;
  bounds.Start = start;
  if (declaredLength >= 0 && static_cast<uint64_t>(declaredLength) <= available &&
      EndStreamAt(text, start + static_cast<size_t>(declaredLength))) {
    bounds.Length = static_cast<size_t>(declaredLength);
    bounds.LengthAgreed = true;
    return true;
  }
  const size_t end = text.find(kEndStream, start);
  if (end == std::string_view::npos) {
    // No end at all: the declared length as far as the text goes, else all of it.
    bounds.Length = declaredLength >= 0 && static_cast<uint64_t>(declaredLength) < available
                        ? static_cast<size_t>(declaredLength)
                        : available;
    return true;
  }
  // Up to the keyword itself, as other readers recover such streams: a line end before it
  // stays with the data, since nothing tells it from a last byte of them.
  bounds.Length = end - start;
  return true;
}

namespace {

bool IsNumberChar(char c) { return IsDigit(c) || c == '.'; }

}  // namespace

size_t ObjectValueStart(std::string_view text, int64_t objNum, int64_t genNum) {
  const size_t n = text.size();
  size_t p = 0;
  auto readNumber = [&] {
    while (p < n && !IsNumberChar(text[p])) ++p;
    const size_t start = p;
    while (p < n && IsNumberChar(text[p])) ++p;
    return pdfchars::DigitsValue(text.substr(start, p - start), -1);
  };
  if (readNumber() != objNum || readNumber() != genNum) return std::string_view::npos;
  while (p < n && IsWhite(text[p])) ++p;
  if (text.substr(p, 3) != "obj") return std::string_view::npos;
  p += 3;
  // The keyword ends at white space, a delimiter or the end of the text.
  if (p < n && !IsWhite(text[p]) && !IsDelimiter(text[p])) return std::string_view::npos;
  return p;
}
