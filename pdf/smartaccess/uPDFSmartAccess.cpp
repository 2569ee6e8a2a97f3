// Number lists, shared text helpers and the link that opens a file behind a handle.
#include "uPDFSmartAccess.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "uPDFSmartAccessText.h"

namespace smartaccess {

int64_t OffsetValue(const TPDFObject* value) {
  const TPDFNumeric* number = As<TPDFNumeric>(value);
  if (!number) return -1;
  double v = number->Value;
  // 2^53: beyond it doubles no longer hold every whole number.
  if (!(v >= 0 && v <= 9007199254740992.0) || v != std::floor(v)) return -1;
  return static_cast<int64_t>(v);
}

}  // namespace smartaccess

void TSortedNumberList::Sort() { std::sort(FItems.begin(), FItems.end()); }

int64_t TSortedNumberList::NextAbove(int64_t x) const {
  if (FItems.empty()) return 0;
  auto above = std::upper_bound(FItems.begin(), FItems.end(), x);
  return above == FItems.end() ? FItems.back() : *above;
}

TSmartPDFLink::TSmartPDFLink(const std::string& fileName, const std::string& password, bool allowRepair) {
  if (!platform::FileExists(fileName)) return;
  if (!FileStream.Open(fileName, platform::TFileShare::ReadWriteExclusive)) return;
  OpenOn(FileStream, password, allowRepair);
}

TSmartPDFLink::TSmartPDFLink(const char* data, size_t size, const std::string& password, bool allowRepair)
    : MemoryStream(std::make_unique<platform::TMemorySource>(data, size)) {
  OpenOn(*MemoryStream, password, allowRepair);
}

void TSmartPDFLink::OpenOn(const platform::TByteSource& stream, const std::string& password, bool allowRepair) {
  try {
    Reader = std::make_unique<TSmartPDFReader>(stream, allowRepair);
    if (Reader->Status != TSmartPDFReader::kOpened) {
      Reader.reset();
      return;
    }
    InfoObject = std::make_unique<TSmartPDFInfo>(*Reader);
    bool accepted = InfoObject->EncryptionState == TSmartPDFInfo::kNotEncrypted ||
                    (InfoObject->EncryptionState == TSmartPDFInfo::kStandard && InfoObject->CheckPassword(password));
    if (accepted) {
      InfoObject->RememberPassword(password);
      // The catalog is judged after the key is set: one kept in an object stream of an
      // encrypted file can only be read once the password is known.
      accepted = InfoObject->HasCatalog();
    }
    if (!accepted) {
      InfoObject.reset();
      Reader.reset();
      return;
    }
    Document = std::make_unique<TSmartPDFDocument>(*Reader);
    Document->InfoObject = InfoObject.get();
    Opened = true;
  } catch (const std::bad_alloc&) {
    Document.reset();
    InfoObject.reset();
    Reader.reset();
    Opened = false;
  }
}
