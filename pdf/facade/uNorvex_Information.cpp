// TNorvex: the information fields of the selected document, and writing it out.
#include <algorithm>
#include <ostream>
#include <tuple>
#include <vector>

#include "uNorvex.h"
#include "uPDFDocument.h"
#include "uPDFExtra.h"
#include "uPDFSmartCheck.h"

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

namespace {

// The check a saved document passes before it replaces the file: the file it was loaded from
// is as it was (its bytes are read on demand), and the written file, read back through the
// direct-access reader, has the catalog and page count the source has there and every object
// the writer wrote. Returns 0 or the code of the failure.
int32_t CheckSaved(TPDFDocument& document, const platform::TByteSource& written) {
  if (!document.FileText.Unchanged()) return TNorvex::kCodeSourceChanged;
  const std::string& stored = document.StoredPassword;
  const std::string password = stored.empty() ? std::string() : stored.substr(1);
  TCopyExpectation expected;
  const int32_t kind = document.SecurityKind();
  expected.Encryption = static_cast<uint8_t>(kind);
  expected.PasswordKnown = kind == 0 || (kind == 1 && !stored.empty());
  expected.Password = password;
  expected.PageCount = document.PageTree ? document.PageTree->GetPageCount() : 0;
  if (!document.FileText.Empty() && expected.PasswordKnown) {
    // The source's own facts, read apart from the document model.
    const int32_t pages = SourcePageCount(document.FileText, password, document.AllowRepair);
    if (pages == -1) return TNorvex::kCodeCopyUnsound;
    if (pages >= 0) expected.PageCount = pages;
  }
  std::vector<std::tuple<int64_t, int32_t, int32_t>> listed;
  for (const TXRefEntry& entry : document.Entries)
    if (entry.InUse && entry.ObjNum > 0) listed.emplace_back(entry.Offset, entry.ObjNum, entry.GenNum);
  std::sort(listed.begin(), listed.end());
  for (const auto& [offset, number, generation] : listed) expected.Objects.emplace_back(number, generation);
  return CheckWrittenCopy(written, expected) == TCopyVerdict::Sound ? 0 : TNorvex::kCodeCopyUnsound;
}

}  // namespace

int32_t TNorvex::SaveToFile(const std::string& fileName) {
  FLastErrorCode = 0;
  try {
    TPDFDocument& document = FDocuments.Selected();
    document.WriteInfo("ModDate", PdfDateNow());
    int32_t code = 0;
    const bool saved = document.SaveToFile(fileName, [&](const platform::TByteSource& written) {
      code = CheckSaved(document, written);
      return code == 0;
    });
    if (code) SetError(code);
    return saved ? 1 : 0;
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
