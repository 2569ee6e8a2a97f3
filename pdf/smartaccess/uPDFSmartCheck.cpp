#include "uPDFSmartCheck.h"

#include <algorithm>

#include "uPDFObjectText.h"
#include "uPDFSmartAccess.h"

namespace {

// Bytes read at a time when the copy's objects are looked at in file order, and the bytes
// of an object's start that must hold its head.
constexpr int64_t kChunk = int64_t{1} << 20;
constexpr int64_t kHeadBytes = 64;

// Every object written must start as that object at the offset the copy's table gives. The
// offsets rise in writing order, so the file is read forward in large pieces.
bool ObjectsInPlace(const platform::TByteSource& file, const TSmartPDFReader& reader,
                    const std::vector<std::pair<int32_t, int32_t>>& objects) {
  std::string chunk;
  int64_t chunkStart = 0;
  for (const auto& [number, generation] : objects) {
    if (number < 1 || number > reader.MaxObjectNumber()) return false;
    const TSmartPDFObjectEntry& entry = reader.Objects[static_cast<size_t>(number)];
    if (entry.Kind != 'n' || entry.Generation != generation) return false;
    const int64_t offset = entry.Location;
    if (offset < chunkStart || offset + kHeadBytes > chunkStart + static_cast<int64_t>(chunk.size())) {
      chunkStart = offset;
      chunk = file.Read(offset, kChunk);
    }
    const std::string_view head =
        std::string_view(chunk).substr(static_cast<size_t>(offset - chunkStart), kHeadBytes);
    if (ObjectValueStart(head, number, generation) == std::string_view::npos) return false;
  }
  return true;
}

}  // namespace

int32_t PageCount(TSmartPDFReader& reader) {
  TSmartPDFDocument document(reader);
  return document.Pages ? document.CountPages() : 0;
}

TCopyVerdict CheckWrittenCopy(const platform::TByteSource& file, const TCopyExpectation& expected) {
  TSmartPDFReader reader(file);
  if (reader.Status != TSmartPDFReader::kOpened) return TCopyVerdict::Unreadable;
  TSmartPDFInfo info(reader);
  if (info.EncryptionState != expected.Encryption) return TCopyVerdict::Locked;
  bool readable = info.EncryptionState == TSmartPDFInfo::kNotEncrypted;
  if (info.EncryptionState == TSmartPDFInfo::kStandard && expected.PasswordKnown) {
    if (!info.CheckPassword(expected.Password)) return TCopyVerdict::Locked;
    info.RememberPassword(expected.Password);
    readable = true;
  }
  if (readable) {
    if (!info.HasCatalog()) return TCopyVerdict::NoCatalog;
    if (PageCount(reader) != expected.PageCount) return TCopyVerdict::PageCountDiffers;
  }
  if (!ObjectsInPlace(file, reader, expected.Objects)) return TCopyVerdict::ObjectMissing;
  return TCopyVerdict::Sound;
}

int32_t SourcePageCount(const platform::TByteSource& file, const std::string& password, bool allowRepair) {
  TSmartPDFReader reader(file, allowRepair);
  if (reader.Status != TSmartPDFReader::kOpened) return -1;
  TSmartPDFInfo info(reader);
  if (info.EncryptionState == TSmartPDFInfo::kOtherMethod) return -2;
  if (info.EncryptionState == TSmartPDFInfo::kStandard) {
    if (!info.CheckPassword(password)) return -2;
    info.RememberPassword(password);
  }
  if (!info.HasCatalog()) return -1;
  return PageCount(reader);
}

const char* CopyVerdictText(TCopyVerdict verdict) {
  switch (verdict) {
    case TCopyVerdict::Sound: return "";
    case TCopyVerdict::Unreadable: return "the written file cannot be read back";
    case TCopyVerdict::Locked: return "the written file does not open with its password";
    case TCopyVerdict::NoCatalog: return "the written file has no catalog (the source's catalog could not be read)";
    case TCopyVerdict::PageCountDiffers: return "the written file does not have the source's page count";
    case TCopyVerdict::ObjectMissing: return "an object of the written file is not where its table says";
  }
  return "";
}
