// TPDFDocument: writing the whole document (header, every object of the store in store
// order, one classic cross-reference table, trailer), and the swap file that keeps the text
// of objects while a document is encrypted.
#include <algorithm>

#include "uPDFDocument.h"
#include "uPDFExtra.h"

namespace {

class TStringOutput final : public TPDFOutput {
 public:
  explicit TStringOutput(std::string& target) : FTarget(target) {}
  bool Write(const char* data, size_t size) override {
    FTarget.append(data, size);
    return true;
  }
  int64_t Position() const override { return static_cast<int64_t>(FTarget.size()); }

 private:
  std::string& FTarget;
};

// Collects small writes into large ones.
class TFileOutput final : public TPDFOutput {
 public:
  explicit TFileOutput(platform::TFile& file) : FFile(file) { FBuffer.reserve(kBufferSize); }
  bool Write(const char* data, size_t size) override {
    FPosition += static_cast<int64_t>(size);
    if (FBuffer.size() + size > kBufferSize && !Flush()) return false;
    if (size >= kBufferSize) return FOk = FOk && FFile.Write(data, size);
    FBuffer.append(data, size);
    return FOk;
  }
  int64_t Position() const override { return FPosition; }
  bool Flush() {
    if (!FBuffer.empty()) FOk = FOk && FFile.Write(FBuffer);
    FBuffer.clear();
    return FOk;
  }

 private:
  static constexpr size_t kBufferSize = size_t{1} << 20;
  platform::TFile& FFile;
  std::string FBuffer;
  int64_t FPosition = 0;
  bool FOk = true;
};

// Bytes of the loaded file copied at a time.
constexpr int64_t kCopyPiece = int64_t{4} << 20;
// Highest object number the table is written up to, beyond the store's own size: a bound so
// that one absurd object number cannot make the table gigabytes long.
constexpr int64_t kMaxNumberGap = int64_t{1} << 23;

std::string ObjectHead(const TPDFIndObj* object) {
  return std::to_string(object->ObjNum) + " " + std::to_string(object->GenNum) + " obj\n";
}

bool EndsWithLine(std::string_view text) {
  return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

// True when the text, trailing white space aside, ends with the keyword "endobj".
bool EndsWithEndobj(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r' || text[end - 1] == ' ' || text[end - 1] == '\t'))
    --end;
  return end >= 6 && text.substr(end - 6, 6) == "endobj";
}

std::string TableEntry(int64_t offset, int32_t generation, bool inUse) {
  std::string line = FormatNumber(static_cast<double>(offset), 0, 10);
  line += ' ';
  line += FormatNumber(static_cast<double>(generation), 0, 5);
  line += inUse ? " n \n" : " f \n";
  return line;
}

}  // namespace

std::string TPDFDocument::ObjectText(TPDFIndObj* object) {
  std::string text = ObjectHead(object);
  if (object->Value) object->Value->AppendText(text);
  else text += "null";
  if (!EndsWithLine(text)) text += '\n';
  text += "endobj\n";
  return text;
}

// An encrypted document whose object streams cannot be read (no accepted password, or an
// encryption this library does not handle) would lose the objects kept in them, since the
// table written lists every object on its own: such a document is not written.
bool TPDFDocument::CanWriteWhole() {
  const int32_t kind = SecurityKind();
  if (kind == 0 || (kind == 1 && !StoredPassword.empty())) return true;
  for (TPDFIndObj* object : Objects)
    if (object->Compressed) return false;
  return true;
}

bool TPDFDocument::CopyFileRange(TPDFOutput& output, int64_t offset, int64_t length, char& last) {
  std::string buffer;
  while (length > 0) {
    const int64_t piece = std::min(length, kCopyPiece);
    const std::string_view bytes = FileText.Read(offset, piece, buffer);
    if (bytes.empty() || !output.Write(bytes)) return false;
    last = bytes.back();
    offset += static_cast<int64_t>(bytes.size());
    length -= static_cast<int64_t>(bytes.size());
  }
  return true;
}

// True when the object's bytes in the loaded file start as that object ("n g obj").
bool TPDFDocument::HeaderMatches(TPDFIndObj* object) {
  std::string buffer;
  const std::string_view head = FileText.Read(object->Offset, std::min<int64_t>(object->RawLength, 64), buffer);
  return ValueStart(head, object) != std::string_view::npos;
}

bool TPDFDocument::Write(TPDFOutput& output) {
  try {
    Entries.clear();
    if (!CanWriteWhole()) return false;
    const int64_t highest = Objects.MaxObjNum();
    if (highest > static_cast<int64_t>(Objects.size()) + kMaxNumberGap) return false;
    if (!output.Write("%PDF-" + Version + "\n") || !output.Write("%\xE2\xE3\xCF\xD3\n")) return false;

    Entries.resize(static_cast<size_t>(highest) + 1);
    // Numbers no object of the store has are free entries.
    for (size_t n = 0; n < Entries.size(); ++n) {
      Entries[n].ObjNum = static_cast<int32_t>(n);
      Entries[n].InUse = false;
    }
    Entries[0].GenNum = 65535;

    const int32_t kind = SecurityKind();
    for (TPDFIndObj* object : Objects) {
      // Objects read again rather than copied: in an encrypted document, those from object
      // streams (plain text there; loaded, they are encrypted again like every other decrypted
      // object); and bytes that do not start as this object (two entries at one offset, a
      // wrong number at the offset), which are not copied under its number.
      const bool fromFile =
          !object->Loaded && !object->Swapped && (object->Compressed || (object->Offset >= 0 && object->RawLength > 0));
      if (fromFile && (object->Compressed ? kind == 1 : !HeaderMatches(object))) GetLoadedValue(object);
      const int64_t position = output.Position();
      bool written = false;
      if (object->Loaded) {
        if (kind == 1 && object->Decrypted) ReencryptObject(object);
        written = output.Write(ObjectText(object));
      } else if (fromFile && !object->Compressed) {
        // Never parsed: copied byte for byte with whatever followed it in the loaded file.
        char last = 0;
        written = CopyFileRange(output, object->Offset, object->RawLength, last) &&
                  (last == '\n' || last == '\r' || output.Write("\n"));
      } else {
        // Swapped out, or from an object stream: its text; with no text at all, a null
        // object keeps the number listed.
        std::string text = RawText(object);
        if (text.empty()) {
          text = std::to_string(object->ObjNum) + " " + std::to_string(std::max(object->GenNum, 0)) +
                 " obj\nnull\nendobj\n";
        } else {
          if (!EndsWithLine(text)) text += '\n';
          if (object->Compressed && !EndsWithEndobj(text)) text += "endobj\n";
        }
        written = output.Write(text);
      }
      if (!written) return false;
      if (object->ObjNum >= 0 && object->ObjNum <= highest) {
        TXRefEntry& entry = Entries[static_cast<size_t>(object->ObjNum)];
        entry.Offset = position;
        entry.GenNum = std::max(object->GenNum, 0);
        entry.InUse = true;
      }
    }

    const int64_t xref = output.Position();
    if (!output.Write("xref\n0 " + std::to_string(Entries.size()) + "\n")) return false;
    std::string table;
    for (const TXRefEntry& entry : Entries) {
      table += TableEntry(entry.Offset, entry.GenNum, entry.InUse);
      if (table.size() >= (size_t{1} << 20)) {
        if (!output.Write(table)) return false;
        table.clear();
      }
    }
    if (!output.Write(table)) return false;
    // /Size is one more than the highest number, as the table written has it.
    Trailer->SetValue("Size", Structure->NewNumeric(static_cast<double>(Entries.size())));
    std::string tail = "trailer\n" + Trailer->ToText();
    if (!EndsWithLine(tail)) tail += '\n';
    tail += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return output.Write(tail);
  } catch (...) {
    return false;
  }
}

bool TPDFDocument::SaveToFile(const std::string& fileName, const TAcceptWritten& accept) {
  try {
    platform::TReplaceFile target(fileName);
    if (!target.Begin()) return false;
    TFileOutput output(target.File());
    if (!Write(output) || !output.Flush()) return false;
    if (accept && !accept(target.File())) return false;
    return target.Commit();
  } catch (...) {
    return false;
  }
}

std::string TPDFDocument::SaveToString() {
  std::string bytes;
  TStringOutput output(bytes);
  if (!Write(output)) bytes.clear();
  return bytes;
}

// ---- Swap file ----

bool TPDFDocument::SetSwapFile(const std::string& fileName) {
  DropSwapFile();
  if (fileName.empty()) return false;
  if (platform::FileExists(fileName) && !platform::DeleteFile(fileName)) return false;
  if (platform::FileExists(fileName)) return false;
  platform::TFile file;
  if (!file.Create(fileName)) return false;
  file.Close();
  TempFileName = fileName;
  return true;
}

void TPDFDocument::DropSwapFile() {
  FSwap.Close();
  FSwapReadPosition = 0;
  if (!TempFileName.empty()) platform::DeleteFile(TempFileName);
  TempFileName.clear();
}

void TPDFDocument::SwapOut(TPDFIndObj* object) {
  std::string text = ObjectHead(object);
  if (object->Value) object->Value->AppendText(text);
  else text += "null";
  if (!As<TPDFDictionary>(object->Value)) text += '\n';
  text += "endobj\n";
  // The value's large part, a stream's data, is released; the text stands for the object now.
  if (TPDFStream* stream = As<TPDFStream>(object->Value)) std::string().swap(stream->Data);
  object->Value = nullptr;
  object->Loaded = false;
  object->Swapped = true;
  object->InTempFile = false;
  if (text.size() > kSwapInMemory && FSwap.IsOpen() && AppendSwapRecord(object->ObjNum, text)) {
    object->CachedText.clear();
    object->InTempFile = true;
  } else {
    object->CachedText = std::move(text);
  }
}

namespace {

void PutLittle32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint32_t GetLittle32(const char* bytes) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[i]);
  return value;
}

}  // namespace

bool TPDFDocument::AppendSwapRecord(int32_t objNum, const std::string& text) {
  if (!FSwap.IsOpen() || text.size() > UINT32_MAX) return false;
  std::string head;
  PutLittle32(head, static_cast<uint32_t>(objNum));
  PutLittle32(head, static_cast<uint32_t>(text.size()));
  return FSwap.Write(head) && FSwap.Write(text);
}

std::string TPDFDocument::ReadSwapRecord(int32_t objNum) {
  if (!FSwap.IsOpen()) return std::string();
  const int64_t size = FSwap.Position();
  // From just after the last record read to the end, then once more from the start.
  for (int round = 0; round < 2; ++round) {
    int64_t position = round == 0 ? FSwapReadPosition : 0;
    const int64_t stop = round == 0 ? size : FSwapReadPosition;
    while (position + 8 <= size && (round == 0 || position < stop)) {
      char head[8];
      if (FSwap.ReadAt(position, head, 8) != 8) return std::string();
      const int32_t number = static_cast<int32_t>(GetLittle32(head));
      const int64_t length = GetLittle32(head + 4);
      position += 8;
      if (position + length > size) return std::string();
      if (number == objNum) {
        std::string text(static_cast<size_t>(length), '\0');
        if (FSwap.ReadAt(position, text.data(), length) != length) return std::string();
        FSwapReadPosition = position + length;
        return text;
      }
      position += length;
    }
  }
  return std::string();
}
