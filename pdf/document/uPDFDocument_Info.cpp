// TPDFDocument: the information dictionary (/Info of the trailer) and the text conversion
// between callers' Windows-1252 text and PDF text strings.
#include <array>

#include "uPDFDocument.h"

namespace {

// PDFDocEncoding byte -> Windows-1252 byte: a permutation that moves these bytes and keeps
// every other one.
constexpr std::pair<uint8_t, uint8_t> kDecodeMoves[] = {
    {0x1A, 0x88}, {0x1F, 0x98}, {0x80, 0x95}, {0x81, 0x86}, {0x82, 0x87}, {0x83, 0x85}, {0x84, 0x97},
    {0x85, 0x96}, {0x86, 0x83}, {0x87, 0x1F}, {0x88, 0x8B}, {0x89, 0x9B}, {0x8A, 0x81}, {0x8B, 0x89},
    {0x8C, 0x84}, {0x8D, 0x93}, {0x8E, 0x94}, {0x8F, 0x91}, {0x90, 0x92}, {0x91, 0x82}, {0x92, 0x99},
    {0x93, 0x8D}, {0x94, 0x8F}, {0x95, 0x90}, {0x96, 0x8C}, {0x97, 0x8A}, {0x98, 0x9F}, {0x99, 0x8E},
    {0x9A, 0xA0}, {0x9B, 0xAD}, {0x9D, 0x9A}, {0x9F, 0x1A}, {0xA0, 0x80}, {0xAD, 0x9D},
};

struct TDocEncodingTables {
  std::array<uint8_t, 256> Decode{};
  std::array<uint8_t, 256> Encode{};
  TDocEncodingTables() {
    for (int i = 0; i < 256; ++i) Decode[i] = Encode[i] = static_cast<uint8_t>(i);
    for (const auto& [file, text] : kDecodeMoves) {
      Decode[file] = text;
      Encode[text] = file;
    }
  }
};

const TDocEncodingTables& DocEncoding() {
  static const TDocEncodingTables tables;
  return tables;
}

// Unicode of the Windows-1252 bytes 0x80 to 0x9F (0 where the code page has no character).
constexpr uint16_t kWin1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The Windows-1252 byte of a character; '?' when the code page cannot hold it.
char ToWin1252(uint32_t code) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
  for (int i = 0; i < 32; ++i) {
    if (kWin1252High[i] == code) return static_cast<char>(0x80 + i);
    // The five bytes the code page leaves undefined stand for the control characters of the same value.
    if (kWin1252High[i] == 0 && code == 0x80u + static_cast<uint32_t>(i)) return static_cast<char>(code);
  }
  return '?';
}

const std::string kInfoKey = "Info";

}  // namespace

std::string TPDFDocument::DecodeText(const std::string& bytes) {
  std::string text;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFE && static_cast<uint8_t>(bytes[1]) == 0xFF) {
    text.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const uint32_t unit = (static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 8) |
                            static_cast<uint8_t>(bytes[i + 1]);
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
        const uint32_t low = (static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 2])) << 8) |
                             static_cast<uint8_t>(bytes[i + 3]);
        if (low >= 0xDC00 && low <= 0xDFFF) i += 2;  // one character outside the basic plane
        text.push_back('?');
        continue;
      }
      text.push_back(ToWin1252(unit));
    }
    return text;
  }
  text.resize(bytes.size());
  const auto& decode = DocEncoding().Decode;
  for (size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<char>(decode[static_cast<uint8_t>(bytes[i])]);
  return text;
}

std::string TPDFDocument::EncodeText(const std::string& text) {
  if (text.size() >= 2 && static_cast<uint8_t>(text[0]) == 0xFE && static_cast<uint8_t>(text[1]) == 0xFF) return text;
  std::string bytes(text.size(), '\0');
  const auto& encode = DocEncoding().Encode;
  for (size_t i = 0; i < text.size(); ++i) bytes[i] = static_cast<char>(encode[static_cast<uint8_t>(text[i])]);
  return bytes;
}

TPDFDictionary* TPDFDocument::InfoDict() {
  TPDFObject* info = Trailer->GetValue(kInfoKey);
  if (const TPDFIndRef* ref = As<TPDFIndRef>(info)) {
    TPDFIndObj* object = FindObject(ref->ObjNum, ref->GenNum);
    return object ? As<TPDFDictionary>(GetLoadedValue(object)) : nullptr;
  }
  // No /Info, or a direct value: the information goes into an object of its own. A direct
  // dictionary keeps its entries (they are the file's information, not to be lost).
  TPDFDictionary* dict = Structure->NewDictionary();
  if (TPDFDictionary* direct = As<TPDFDictionary>(info)) dict->Assign(direct);
  Trailer->SetValue(kInfoKey, AddObjectRef(dict));
  return dict;
}

std::string TPDFDocument::ReadInfo(const std::string& key) {
  const int32_t kind = SecurityKind();
  if (kind == 2 || (kind == 1 && StoredPassword.empty())) return std::string();
  const bool stored = As<TPDFIndRef>(Trailer->GetValue(kInfoKey)) != nullptr;
  TPDFDictionary* info = InfoDict();  // afterwards /Info is a reference, when there is one
  if (!info) return std::string();
  if (kind == 1) {
    // The information object is decrypted first (one made just now is plain already), and so
    // is an object one of its values names.
    const TPDFIndRef* ref = As<TPDFIndRef>(Trailer->GetValue(kInfoKey));
    TPDFIndObj* object = ref ? FindObject(ref->ObjNum, ref->GenNum) : nullptr;
    if (stored) DecryptObject(object);
    else if (object) object->Decrypted = true;
    if (const TPDFIndRef* valueRef = As<TPDFIndRef>(info->GetValue(key)))
      DecryptObject(FindObject(valueRef->ObjNum, valueRef->GenNum));
  }
  TPDFObject* value = info->GetValue(key, true);
  if (const TPDFString* string = As<TPDFString>(value)) return DecodeText(string->Value);
  if (const TPDFStream* stream = As<TPDFStream>(value)) return DecodeText(stream->GetDecoded());
  return std::string();
}

void TPDFDocument::WriteInfo(const std::string& key, const std::string& value) {
  const std::string bytes = EncodeText(value);
  if (SecurityKind() != 0) return;
  TPDFDictionary* info = InfoDict();
  if (!info) return;
  // A string takes the new bytes where it is, also one kept in an object of its own, unless
  // another entry names that object too (a /ModDate sharing its object with /CreationDate):
  // then the entry gets a direct string and the object is left as it is. Any other value (a
  // stream, say) gives way to a direct string and its object is left alone as well.
  const TPDFIndRef* ref = As<TPDFIndRef>(info->GetValue(key));
  bool shared = false;
  for (int32_t i = 0; ref && i < info->Count(); ++i) {
    const TPDFDictionary::TEntry entry = info->GetEntry(i);
    const TPDFIndRef* other = As<TPDFIndRef>(entry.Value);
    if (entry.Key && entry.Key->Value != key && other && other->ObjNum == ref->ObjNum) shared = true;
  }
  if (TPDFString* string = As<TPDFString>(info->GetValue(key, true)); string && !shared) {
    string->Value = bytes;
    return;
  }
  info->SetValue(key, Structure->NewString(bytes, 0));
}
