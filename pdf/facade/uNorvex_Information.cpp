// TNorvex: the information fields of the selected document, and writing it out.
#include <ostream>

#include "uNorvex.h"
#include "uPDFDocument.h"
#include "uPDFExtra.h"

namespace {

// Keys of the information items 1 to 8.
const char* const kInfoKeys[] = {"Author", "Title", "Subject", "Keywords", "Creator", "Producer",
                                 "CreationDate", "ModDate"};
constexpr int32_t kLastInfoItem = 8;
constexpr int32_t kLastWritableItem = 6;

bool IsAcceptedVersion(const std::string& value) {
  for (const char* version : {"1.0", "1.1", "1.2", "1.3", "1.4", "1.5"})
    if (value == version) return true;
  return false;
}

}  // namespace

std::string TNorvex::GetInformation(int32_t item) {
  FLastErrorCode = 0;
  try {
    TPDFDocument& document = FDocuments.Selected();
    if (item == 0) return document.Version;
    if (item < 1 || item > kLastInfoItem) return std::string();
    return document.ReadInfo(kInfoKeys[item - 1]);
  } catch (...) {
    return std::string();
  }
}

int32_t TNorvex::SetInformation(int32_t item, const std::string& value) {
  FLastErrorCode = 0;
  try {
    TPDFDocument& document = FDocuments.Selected();
    if (document.SecurityKind() != 0) {
      SetError(201);
      return 0;
    }
    if (item < 0 || item > kLastWritableItem) {
      SetError(202);
      return 0;
    }
    if (item == 0) {
      if (IsAcceptedVersion(value)) document.SetVersion(value);
    } else {
      document.WriteInfo(kInfoKeys[item - 1], value);
    }
    const bool same = GetInformation(item) == value;
    return same ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::SaveToFile(const std::string& fileName) {
  FLastErrorCode = 0;
  try {
    TPDFDocument& document = FDocuments.Selected();
    document.WriteInfo("ModDate", PdfDateNow());
    return document.SaveToFile(fileName) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

std::string TNorvex::SaveToString() {
  FLastErrorCode = 0;
  std::string bytes;
  try {
    TPDFDocument& document = FDocuments.Selected();
    document.WriteInfo("ModDate", PdfDateNow());
    bytes = document.SaveToString();
  } catch (...) {
    bytes.clear();
  }
  if (bytes.empty()) SetError(999);
  return bytes;
}

int32_t TNorvex::SaveToStream(std::ostream& stream) {
  try {
    const std::string bytes = SaveToString();
    if (bytes.empty()) return 0;
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return stream.good() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::SetTempFile(const std::string& fileName) {
  try {
    return FDocuments.Selected().SetSwapFile(fileName) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}
