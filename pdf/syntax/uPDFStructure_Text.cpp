// The exact PDF text of every value.
#include <cmath>
#include <charconv>

#include "uPDFExtra.h"
#include "uPDFNesting.h"
#include "uPDFStructure.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Bytes that a name writes as #XX: white space and controls, non-ASCII, and the
// characters that would end or change the name.
struct TNameEscapes {
  bool Escaped[256] = {};
  constexpr TNameEscapes() {
    for (int c = 0; c < 256; ++c) Escaped[c] = c <= 0x20 || c >= 0x7F;
    for (unsigned char c : std::string_view("/()#%[]{}<>")) Escaped[c] = true;
  }
};
constexpr TNameEscapes kNameEscapes;

// Set while a container is printed deeper than the walk limit; the dictionary entry that
// contains it is then replaced by the marker line.
thread_local bool gPrintFailed = false;

bool PrintTooDeep(const pdfsyntax::TNestingGuard& guard) {
  if (!guard.TooDeep()) return false;
  gPrintFailed = true;
  return true;
}

void AppendHexByte(std::string& out, unsigned char byte) {
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0x0F];
}

void AppendInteger(std::string& out, int64_t value) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  (void)ec;
  out.append(buf, end);
}

}  // namespace

void TPDFNull::AppendText(std::string& out) const { out += "null"; }

void TPDFBoolean::AppendText(std::string& out) const { out += Value ? "true" : "false"; }

void TPDFIndRef::AppendText(std::string& out) const {
  AppendInteger(out, ObjNum);
  out += ' ';
  AppendInteger(out, GenNum);
  out += " R";
}

void TPDFNumeric::KeepSourceText(std::string_view text) {
  FSource.reset();
  std::string own;
  AppendText(own);
  if (own != text) FSource = std::make_unique<TSource>(TSource{Value, std::string(text)});
}

void TPDFNumeric::AppendText(std::string& out) const {
  if (FSource && FSource->Value == Value) {
    out += FSource->Text;
    return;
  }
  // Whole numbers in plain range print as their digits, which is what the general form
  // followed by the cut and the removal of trailing zeros gives for them.
  if (Value > -1e15 && Value < 1e15 && Value == std::trunc(Value)) {
    AppendInteger(out, Value == 0 ? 0 : static_cast<int64_t>(Value));
    return;
  }
  const size_t start = out.size();
  AppendFormattedNumber(out, Value, Owner->Precision, 0);
  if (out.find('.', start) == std::string::npos) return;
  while (out.back() == '0') out.pop_back();
  if (out.back() == '.') out.pop_back();
}

void TPDFName::AppendText(std::string& out) const {
  out += '/';
  for (char ch : Value) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (kNameEscapes.Escaped[c]) {
      out += '#';
      AppendHexByte(out, c);
    } else {
      out += ch;
    }
  }
}

void TPDFString::AppendText(std::string& out) const {
  if (IsHex == 1) {
    out.reserve(out.size() + Value.size() * 2 + 2);
    out += '<';
    for (char ch : Value) AppendHexByte(out, static_cast<unsigned char>(ch));
    out += '>';
    return;
  }
  if (IsHex != 0) return;
  out.reserve(out.size() + Value.size() + 2);
  out += '(';
  // Runs of bytes that need no escape are appended whole.
  size_t run = 0;
  for (size_t i = 0; i < Value.size(); ++i) {
    const char* escape = nullptr;
    switch (Value[i]) {
      case '\b': escape = "\\b"; break;
      case '\t': escape = "\\t"; break;
      case '\n': escape = "\\n"; break;
      case '\f': escape = "\\f"; break;
      case '\r': escape = "\\r"; break;
      case '(': escape = "\\("; break;
      case ')': escape = "\\)"; break;
      case '\\': escape = "\\\\"; break;
      default: continue;
    }
    out.append(Value, run, i - run);
    out.append(escape, 2);
    run = i + 1;
  }
  out.append(Value, run, Value.size() - run);
  out += ')';
}

void TPDFArray::AppendText(std::string& out) const {
  pdfsyntax::TNestingGuard guard;
  if (PrintTooDeep(guard)) return;
  size_t lineStart = out.size();
  out += "[ ";
  for (int32_t i = 0; i < Count(); ++i) {
    if (const TPDFObject* item = FItems[static_cast<size_t>(i)]) item->AppendText(out);
    if (out.back() != '\n') out += ' ';
    if (out.size() - lineStart > 80) {
      out += '\n';
      lineStart = out.size();
    }
  }
  out += ']';
}

void TPDFDictionary::AppendText(std::string& out) const {
  pdfsyntax::TNestingGuard guard;
  if (PrintTooDeep(guard)) return;
  out += "<<\n";
  for (const TEntry& entry : FEntries) {
    const size_t mark = out.size();
    const bool failedBefore = gPrintFailed;
    gPrintFailed = false;
    if (entry.Key) entry.Key->AppendText(out);
    out += ' ';
    if (entry.Value) entry.Value->AppendText(out);
    if (gPrintFailed) {
      out.resize(mark);
      out += "% bug \n";
    } else if (out.back() != '\n') {
      out += '\n';
    }
    gPrintFailed = failedBefore;
  }
  out += ">>\n";
}

void TPDFStream::AppendText(std::string& out) const {
  Dictionary->AppendText(out);
  out += "stream\n";
  out += Data;
  out += "\nendstream";
}
