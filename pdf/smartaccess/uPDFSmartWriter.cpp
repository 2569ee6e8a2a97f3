#include "uPDFSmartWriter.h"

#include <algorithm>
#include <cstring>
#include <cstdio>

#include "uPDFExtra.h"
#include "uPDFSmartAccess.h"
#include "uPDFStructure.h"

namespace {
constexpr size_t kBufferSize = 1 << 20;

// A value of at most width digits as exactly width digits with leading zeros.
void PutDigits(char* out, int64_t value, int width) {
  uint64_t v = static_cast<uint64_t>(value);
  for (int k = width - 1; k >= 0; --k, v /= 10) out[k] = static_cast<char>('0' + v % 10);
}
}  // namespace

TByteSink::TByteSink(platform::TFile& file) : FFile(file) { FBuffer.reserve(kBufferSize); }

TByteSink::~TByteSink() { Flush(); }

void TByteSink::Write(const char* data, size_t length) {
  FPosition += static_cast<int64_t>(length);
  if (FBuffer.size() + length <= kBufferSize) {
    FBuffer.append(data, length);
    return;
  }
  Flush();
  if (length >= kBufferSize) {
    // Large pieces (stream data) go straight to the file.
    if (FOk && !FFile.Write(data, length)) FOk = false;
  } else {
    FBuffer.append(data, length);
  }
}

bool TByteSink::Flush() {
  if (!FBuffer.empty()) {
    if (FOk && !FFile.Write(FBuffer.data(), FBuffer.size())) FOk = false;
    FBuffer.clear();
  }
  return FOk;
}

void TSmartPDFWriter::WriteHeader(const std::string& version) {
  Stream.Write("%PDF-" + version + "\n%\xE2\xE3\xCF\xD3\n");
}

void TSmartPDFWriter::BeginObject(int32_t objNum, int32_t genNum) {
  Numbers.push_back(objNum);
  Generations.push_back(genNum);
  Positions.push_back(Stream.Position());
  char head[40];
  int length = std::snprintf(head, sizeof head, "%d %d obj\n", objNum, genNum);
  Stream.Write(head, static_cast<size_t>(length));
}

void TSmartPDFWriter::WriteObject(int32_t objNum, int32_t genNum, const std::string& text) {
  BeginObject(objNum, genNum);
  Stream.Write(text);
  if (text.empty() || text.back() != '\n') Stream.Write("\n", 1);
  Stream.Write("endobj\n", 7);
}

void TSmartPDFWriter::WriteObject(int32_t objNum, int32_t genNum, const TPDFObject* value) {
  const auto* stream = As<TPDFStream>(value);
  if (!stream) {
    WriteObject(objNum, genNum, value ? value->ToText() : std::string("null"));
    return;
  }
  // Same bytes as the stream's printed text, without building it in one piece.
  BeginObject(objNum, genNum);
  std::string head;
  stream->Dictionary->AppendText(head);
  head += "stream\n";
  Stream.Write(head);
  Stream.Write(stream->Data.data(), stream->Data.size());
  Stream.Write("\nendstream\nendobj\n", 18);
}

// Adds the edit that makes a stream dictionary's /Length its data length, when it says
// otherwise; false when the dictionary must be printed anew instead (it has no /Length).
bool TSmartPDFWriter::AddLengthEdit(const TSmartPDFObjectText& object) {
  const auto* dictionary = As<TPDFDictionary>(object.Value);
  const TPDFObject* length = dictionary->GetValue("Length");
  if (const auto* number = As<TPDFNumeric>(length); number && number->Value == static_cast<double>(object.Data.Length))
    return true;
  TTextEdit edit;
  const std::string actual = std::to_string(object.Data.Length);
  if (length) {
    auto it = object.Spans.Entries.rbegin();
    while (it != object.Spans.Entries.rend() && it->Value != length) ++it;
    if (it == object.Spans.Entries.rend()) return false;
    edit.Start = it->Start;
    edit.End = it->End;
    edit.TextStart = FEditText.size();
    FEditText += actual;
  } else {
    // No /Length: the dictionary is printed anew. (An entry put before its ">>" could become
    // the value of a last key written without one.)
    return false;
  }
  edit.TextEnd = FEditText.size();
  FEdits.push_back(edit);
  return true;
}

void TSmartPDFWriter::WriteCopiedObject(int32_t objNum, int32_t genNum, const TSmartPDFObjectText& object,
                                        bool stringsChanged) {
  const std::string_view value = std::string_view(object.Text).substr(object.ValueStart);
  FEdits.clear();
  FEditText.clear();
  if (object.IsStream && !AddLengthEdit(object)) {
    // The dictionary printed anew, with the /Length of its data.
    auto* dictionary = As<TPDFDictionary>(object.Value);
    dictionary->SetValue("Length", dictionary->Owner->NewNumeric(static_cast<double>(object.Data.Length)));
    BeginObject(objNum, genNum);
    FEditText.clear();
    dictionary->AppendText(FEditText);
    Stream.Write(FEditText);
  } else {
    // A /Length replaced in the text comes first; strings inside it go with it.
    const bool lengthEdit = !FEdits.empty();
    const size_t lengthStart = lengthEdit ? FEdits.front().Start : 0;
    const size_t lengthEnd = lengthEdit ? FEdits.front().End : 0;
    if (stringsChanged) {
      for (const TPDFTextSpans::TSpan& span : object.Spans.Strings) {
        if (lengthEdit && span.Start >= lengthStart && span.End <= lengthEnd && lengthEnd > lengthStart) continue;
        TTextEdit edit{span.Start, span.End, FEditText.size(), 0};
        span.Value->AppendText(FEditText);
        edit.TextEnd = FEditText.size();
        FEdits.push_back(edit);
      }
    }
    if (lengthEdit && FEdits.size() > 1)
      std::stable_sort(FEdits.begin(), FEdits.end(),
                       [](const TTextEdit& a, const TTextEdit& b) { return a.Start < b.Start; });
    BeginObject(objNum, genNum);
    size_t at = object.Spans.Start;
    for (const TTextEdit& edit : FEdits) {
      Stream.Write(value.data() + at, edit.Start - at);
      Stream.Write(FEditText.data() + edit.TextStart, edit.TextEnd - edit.TextStart);
      at = edit.End;
    }
    Stream.Write(value.data() + at, object.Spans.End - at);
  }
  if (!object.IsStream) {
    Stream.Write("\nendobj\n", 8);
    return;
  }
  Stream.Write("\nstream\n", 8);
  Stream.Write(object.Text.data() + object.Data.Start, object.Data.Length);
  Stream.Write("\nendstream\nendobj\n", 18);
}

void TSmartPDFWriter::WriteXRefAndTrailer(TPDFDictionary* trailer, int64_t base, bool full) {
  const int64_t x = Stream.Position() + base;
  Stream.Write("xref\n", 5);
  // The newest record of each number counts: slot[n] is 1 + the index of its record, 0 for none.
  int32_t maxNumber = 0;
  for (int32_t number : Numbers) maxNumber = std::max(maxNumber, number);
  std::vector<size_t> slot(static_cast<size_t>(maxNumber) + 1, 0);
  for (size_t i = 0; i < Numbers.size(); ++i)
    if (Numbers[i] > 0) slot[static_cast<size_t>(Numbers[i])] = i + 1;
  auto isRecorded = [&](int32_t number) { return number > 0 && slot[static_cast<size_t>(number)] != 0; };
  auto entry = [&](int32_t number) {
    size_t i = slot[static_cast<size_t>(number)] - 1;
    const int64_t position = Positions[i] + base;
    if (position < 0 || position > 9999999999 || Generations[i] < 0 || Generations[i] > 99999) {
      // Fields that do not fit their width are printed in full.
      Stream.Write(FormatNumber(static_cast<double>(position), 0, 10) + " " + FormatNumber(Generations[i], 0, 5) +
                   " n \n");
      return;
    }
    char line[21] = "0000000000 00000 n \n";
    PutDigits(line, position, 10);
    PutDigits(line + 11, Generations[i], 5);
    Stream.Write(line, 20);
  };
  if (!full) {
    // Runs of consecutive numbers; the first run starts at 0.
    std::vector<std::pair<int32_t, int32_t>> runs{{0, 1}};
    for (int32_t number = 1; number <= maxNumber; ++number) {
      if (!isRecorded(number)) continue;
      auto& last = runs.back();
      if (number == last.first + last.second) {
        ++last.second;
      } else {
        runs.push_back({number, 1});
      }
    }
    for (const auto& [first, count] : runs) {
      Stream.Write(std::to_string(first) + " " + std::to_string(count) + "\n");
      for (int32_t n = first; n < first + count; ++n) {
        if (n == 0) {
          Stream.Write("0000000000 65535 f \n", 20);
        } else {
          entry(n);
        }
      }
    }
  } else {
    Stream.Write("0 " + std::to_string(maxNumber + 1) + "\n");
    // A free entry points at the next unrecorded number above it and below the maximum
    // (0 when there is none); found in one pass from the top.
    std::vector<int32_t> nextFree(static_cast<size_t>(maxNumber) + 1, 0);
    for (int32_t n = maxNumber, candidate = 0; n >= 0; --n) {
      nextFree[n] = candidate;
      if (n < maxNumber && n > 0 && !isRecorded(n)) candidate = n;
    }
    for (int32_t n = 0; n <= maxNumber; ++n) {
      if (isRecorded(n)) {
        entry(n);
      } else {
        Stream.Write(FormatNumber(nextFree[n], 0, 10) + (n == 0 ? " 65535 f \n" : " 00001 f \n"));
      }
    }
    if (trailer) trailer->SetValue("Size", trailer->Owner->NewNumeric(maxNumber + 1));
  }
  Stream.Write("trailer\n", 8);
  std::string text = trailer ? trailer->ToText() : std::string("<<\n>>\n");
  if (text.empty() || text.back() != '\n') text += '\n';
  Stream.Write(text);
  Stream.Write("startxref\n" + std::to_string(x) + "\n%%EOF\n");
}
