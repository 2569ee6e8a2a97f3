// The reader of PDF object syntax: one recursive pass over the text with one position.
#include <string_view>
#include <unordered_map>

#include "uPDFExtra.h"
#include "uPDFStructure.h"

namespace {

enum : uint8_t { kWhite = 1, kDelimiter = 2, kDigit = 4, kHex = 8 };

struct TCharClasses {
  uint8_t Of[256] = {};
  constexpr TCharClasses() {
    for (unsigned char c : std::string_view("\0\t\n\f\r ", 6)) Of[c] |= kWhite;
    for (unsigned char c : std::string_view("()<>[]/%{")) Of[c] |= kDelimiter;
    for (int c = '0'; c <= '9'; ++c) Of[c] |= kDigit | kHex;
    for (int c = 'a'; c <= 'f'; ++c) Of[c] |= kHex;
    for (int c = 'A'; c <= 'F'; ++c) Of[c] |= kHex;
  }
};
constexpr TCharClasses kClasses;

int HexValue(unsigned char c) {
  if (c <= '9') return c - '0';
  return (c | 0x20) - 'a' + 10;
}

// A reference number: the value when it is an integer that fits 32 bits (a real is cut
// towards zero first), else 0.
int32_t ReferenceNumber(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return 0;
  return static_cast<int32_t>(value);
}

}  // namespace

class TPDFObjectParser {
 public:
  TPDFObjectParser(TPDFStructure& structure, const char* text, size_t length, TPDFTextSpans* spans)
      : FStructure(structure), FText(reinterpret_cast<const unsigned char*>(text)), FLength(length), FSpans(spans) {}

  TPDFObject* ReadValue(int depth);
  // Skips any run of white space and comments (a comment runs to the end of its line).
  void Skip();
  size_t Position() const { return FPos; }

 private:
  bool Is(size_t at, uint8_t classes) const { return at < FLength && (kClasses.Of[FText[at]] & classes); }
  bool At(size_t at, char c) const { return at < FLength && FText[at] == static_cast<unsigned char>(c); }
  // Remaining characters after the one at FPos (FPos < FLength).
  size_t Rest() const { return FLength - 1 - FPos; }

  TPDFObject* ReadDictionary(int depth);
  TPDFObject* ReadArray(int depth);
  TPDFObject* ReadKeyword();
  TPDFObject* ReadNumber();
  TPDFObject* ReadLiteralString();
  TPDFObject* ReadHexString();
  TPDFObject* ReadName();
  // Records where a string just read lies (from start to the current position).
  TPDFObject* ReadStringSpan(size_t start, TPDFObject* string);
  size_t ScanNumber(size_t start, bool& isReal) const;
  TPDFNumeric* MakeNumber(size_t start, size_t stop, bool isReal, double value);
  double NumberValue(size_t start, size_t stop, bool isReal) const;
  bool KeywordAt(std::string_view word) const;

  TPDFStructure& FStructure;
  const unsigned char* FText;
  size_t FLength;
  size_t FPos = 0;
  TPDFTextSpans* FSpans;  // where strings and entries are recorded, when asked for
  bool FTooDeep = false;  // once set, every level stops reading and returns what it has
};

void TPDFObjectParser::Skip() {
  while (FPos < FLength) {
    if (kClasses.Of[FText[FPos]] & kWhite) {
      ++FPos;
    } else if (FText[FPos] == '%') {
      while (FPos < FLength && FText[FPos] != '\n' && FText[FPos] != '\r') ++FPos;
    } else {
      break;
    }
  }
}

TPDFObject* TPDFObjectParser::ReadValue(int depth) {
  if (FPos >= FLength || FTooDeep) return nullptr;
  const unsigned char c = FText[FPos];
  if (c == '<' && At(FPos + 1, '<')) return ReadDictionary(depth);
  if (c == '[') return ReadArray(depth);
  if (c == 't' || c == 'f' || c == 'n') return ReadKeyword();
  if (c == '-' || c == '+' || c == '.' || (kClasses.Of[c] & kDigit)) return ReadNumber();
  const size_t start = FPos;
  if (c == '(') return ReadStringSpan(start, ReadLiteralString());
  if (c == '<' && Rest() >= 1) return ReadStringSpan(start, ReadHexString());
  if (c == '/') return ReadName();
  return nullptr;
}

TPDFObject* TPDFObjectParser::ReadDictionary(int depth) {
  if (depth >= TPDFStructure::kMaxParseDepth) {
    FTooDeep = true;
    return nullptr;
  }
  FPos += 2;
  TPDFDictionary* dictionary = FStructure.NewDictionary();
  // Beyond a few entries, repeated keys are found through an index instead of a scan.
  std::unordered_map<std::string_view, size_t> index;
  constexpr size_t kIndexFrom = 16;
  const bool recordEntries = FSpans && depth == 0;
  for (;;) {
    Skip();
    TPDFObject* key = ReadValue(depth + 1);
    Skip();
    const size_t valueStart = FPos;
    TPDFObject* value = ReadValue(depth + 1);
    if (recordEntries && value) FSpans->Entries.push_back({valueStart, FPos, value});
    TPDFName* name = As<TPDFName>(key);
    if (!name || !value) break;
    auto& entries = dictionary->FEntries;
    if (entries.size() < kIndexFrom) {
      dictionary->Put(name, value);
      if (entries.size() == kIndexFrom)
        for (size_t i = 0; i < entries.size(); ++i) index[entries[i].Key->Value] = i;
      continue;
    }
    auto [slot, added] = index.try_emplace(name->Value, entries.size());
    if (added) {
      entries.push_back({name, value});
    } else {
      const size_t at = slot->second;
      entries[at] = {name, value};
      // The entry's key object changed: index it by the text of the new one.
      index.erase(slot);
      index.emplace(name->Value, at);
    }
  }
  if (At(FPos, '>') && At(FPos + 1, '>')) FPos += 2;
  return dictionary;
}

TPDFObject* TPDFObjectParser::ReadArray(int depth) {
  if (depth >= TPDFStructure::kMaxParseDepth) {
    FTooDeep = true;
    return nullptr;
  }
  ++FPos;
  TPDFArray* array = FStructure.NewArray();
  for (;;) {
    Skip();
    TPDFObject* value = ReadValue(depth + 1);
    if (!value) break;
    array->Add(value);
  }
  if (At(FPos, ']')) ++FPos;
  return array;
}

bool TPDFObjectParser::KeywordAt(std::string_view word) const {
  const size_t rest = Rest();
  const size_t tail = word.size() - 1;  // characters after the first one of the word
  if (rest < tail || std::string_view(reinterpret_cast<const char*>(FText) + FPos, word.size()) != word)
    return false;
  return rest == tail || Is(FPos + word.size(), kWhite | kDelimiter);
}

TPDFObject* TPDFObjectParser::ReadKeyword() {
  if (KeywordAt("true")) {
    FPos += 4;
    return FStructure.NewBoolean(true);
  }
  if (KeywordAt("false")) {
    FPos += 5;
    return FStructure.NewBoolean(false);
  }
  if (KeywordAt("null")) {
    FPos += 4;
    return FStructure.NewNull();
  }
  return nullptr;
}

size_t TPDFObjectParser::ScanNumber(size_t start, bool& isReal) const {
  isReal = FText[start] == '.';
  size_t stop = start + 1;
  for (; stop < FLength; ++stop) {
    const unsigned char c = FText[stop];
    if (kClasses.Of[c] & kDigit) continue;
    if (c != '.' || isReal) break;
    isReal = true;
  }
  return stop;
}

double TPDFObjectParser::NumberValue(size_t start, size_t stop, bool isReal) const {
  std::string_view text(reinterpret_cast<const char*>(FText) + start, stop - start);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  // An integer too wide for 32 bits keeps its value (offsets past 2 GiB, unsigned /P).
  return isReal ? ParseRealChecked(text) : ReadDecimalInteger(text);
}

namespace {

// True when a number's text is not what its value prints as: a sign '+', leading zeros, a
// real, or more digits than the plain integer form covers. Such a number keeps its text.
bool NeedsSourceText(std::string_view text, bool isReal) {
  if (isReal || text.empty() || text.size() > 15) return true;
  if (text.front() == '+') return true;
  const size_t digits = text.front() == '-' ? 1 : 0;
  return text.size() > digits + 1 && text[digits] == '0';
}

// A number's text with at least one digit (a lone sign or '.' prints as the value it reads as).
bool HasDigit(std::string_view text) {
  for (char c : text)
    if (c >= '0' && c <= '9') return true;
  return false;
}

}  // namespace

TPDFNumeric* TPDFObjectParser::MakeNumber(size_t start, size_t stop, bool isReal, double value) {
  TPDFNumeric* number = FStructure.NewNumeric(value);
  std::string_view text(reinterpret_cast<const char*>(FText) + start, stop - start);
  if (NeedsSourceText(text, isReal) && HasDigit(text)) number->KeepSourceText(text);
  return number;
}

TPDFObject* TPDFObjectParser::ReadNumber() {
  bool isReal = false;
  const size_t first = FPos;
  const size_t stop = ScanNumber(FPos, isReal);
  const double value = NumberValue(FPos, stop, isReal);
  FPos = stop;
  if (isReal) return MakeNumber(first, stop, true, value);
  // An integer may begin a reference "objNum genNum R".
  Skip();
  if (Is(FPos, kDigit)) {
    bool secondIsReal = false;
    const size_t secondStop = ScanNumber(FPos, secondIsReal);
    const double second = NumberValue(FPos, secondStop, secondIsReal);
    FPos = secondStop;
    Skip();
    if (At(FPos, 'R')) {
      ++FPos;
      return FStructure.NewIndRef(ReferenceNumber(value), ReferenceNumber(second));
    }
  }
  FPos = stop;
  return MakeNumber(first, stop, false, value);
}

TPDFObject* TPDFObjectParser::ReadLiteralString() {
  // Find the matching ')' first: an unterminated string reads as none.
  size_t end = FPos + 1;
  for (int depth = 1; end < FLength; ++end) {
    const unsigned char c = FText[end];
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth == 0) break;
    } else if (c == '\\' && end + 2 < FLength &&
               (FText[end + 1] == '(' || FText[end + 1] == ')' || FText[end + 1] == '\\')) {
      ++end;
    }
  }
  if (end >= FLength) return nullptr;

  std::string bytes;
  bytes.reserve(end - FPos - 1);
  size_t i = FPos + 1;
  while (i < end) {
    const unsigned char c = FText[i];
    if (c == '\r') {
      bytes += '\n';
      i += (i + 1 < end && FText[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (c != '\\' || i + 1 >= end) {
      // The run of bytes up to the next backslash or CR goes in whole.
      size_t stop = i + 1;
      while (stop < end && FText[stop] != '\\' && FText[stop] != '\r') ++stop;
      if (c == '\\') stop = i + 1;
      bytes.append(reinterpret_cast<const char*>(FText) + i, stop - i);
      i = stop;
      continue;
    }
    const unsigned char e = FText[i + 1];
    if (e >= '0' && e <= '7') {
      int value = 0;
      size_t j = i + 1;
      for (; j < end && j < i + 4 && FText[j] >= '0' && FText[j] <= '7'; ++j) value = value * 8 + (FText[j] - '0');
      bytes += static_cast<char>(value & 0xFF);
      i = j;
      continue;
    }
    i += 2;
    switch (e) {
      case 'n': bytes += '\n'; break;
      case 'r': bytes += '\r'; break;
      case 't': bytes += '\t'; break;
      case 'b': bytes += '\b'; break;
      case 'f': bytes += '\f'; break;
      case '(': case ')': case '\\': bytes += static_cast<char>(e); break;
      case '\n': break;
      case '\r':
        if (i < end && FText[i] == '\n') ++i;
        break;
      default:
        // A backslash before a character that is no escape is dropped; the character stays.
        i -= 1;
    }
  }
  FPos = end + 1;
  return FStructure.NewString(std::move(bytes), 0);
}

TPDFObject* TPDFObjectParser::ReadHexString() {
  // Without a closing '>' the last character of the text ends the string.
  size_t end = FPos;
  while (end + 1 < FLength && FText[end] != '>') ++end;
  std::string bytes;
  bytes.reserve((end - FPos) / 2 + 1);
  int high = -1;
  for (size_t i = FPos + 1; i < end; ++i) {
    const unsigned char c = FText[i];
    if (!(kClasses.Of[c] & kHex)) continue;
    if (high < 0) {
      high = HexValue(c);
    } else {
      bytes += static_cast<char>(high * 16 + HexValue(c));
      high = -1;
    }
  }
  if (high >= 0) bytes += static_cast<char>(high * 16);
  FPos = end + 1;
  return FStructure.NewString(std::move(bytes), 1);
}

TPDFObject* TPDFObjectParser::ReadName() {
  size_t end = FPos + 1;
  while (end < FLength && !(kClasses.Of[FText[end]] & (kWhite | kDelimiter))) ++end;
  std::string text;
  text.reserve(end - FPos - 1);
  for (size_t i = FPos + 1; i < end; ++i) {
    if (FText[i] == '#' && i + 2 < end && Is(i + 1, kHex) && Is(i + 2, kHex)) {
      text += static_cast<char>(HexValue(FText[i + 1]) * 16 + HexValue(FText[i + 2]));
      i += 2;
    } else {
      text += static_cast<char>(FText[i]);
    }
  }
  FPos = end;
  return FStructure.NewName(std::move(text));
}

TPDFObject* TPDFObjectParser::ReadStringSpan(size_t start, TPDFObject* string) {
  if (FSpans && string) FSpans->Strings.push_back({start, FPos, string});
  return string;
}

TPDFObject* TPDFStructure::Parse(const std::string& text) { return Parse(text.data(), text.size()); }

TPDFObject* TPDFStructure::Parse(const char* text, size_t length) {
  if (!text || length == 0) return nullptr;
  TPDFObjectParser parser(*this, text, length, nullptr);
  parser.Skip();
  return parser.ReadValue(0);
}

TPDFObject* TPDFStructure::Parse(const char* text, size_t length, TPDFTextSpans& spans) {
  // The lists keep their room from one parse to the next.
  spans.Start = spans.End = 0;
  spans.Strings.clear();
  spans.Entries.clear();
  if (!text || length == 0) return nullptr;
  TPDFObjectParser parser(*this, text, length, &spans);
  parser.Skip();
  spans.Start = parser.Position();
  TPDFObject* value = parser.ReadValue(0);
  spans.End = value ? parser.Position() : 0;
  return value;
}
