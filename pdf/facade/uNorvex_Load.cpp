// TNorvex: loading documents into the document list.
#include <istream>

#include "uNorvex.h"
#include "uPDFDocument.h"
#include "uPlatformFile.h"

namespace {

// Files up to this size are read into memory whole; larger ones are read on demand through
// the open file, so loading them costs neither their size in memory nor the time to copy it.
constexpr int64_t kReadWholeLimit = int64_t{4} << 20;

}  // namespace

int32_t TNorvex::AddLoaded(std::unique_ptr<TPDFDocument> document, bool loaded) {
  TakeWarnings(document->Repaired, document->Warnings);
  if (!loaded) return 0;
  FDocuments.Append(std::move(document));
  return 1;
}

// The file is read under a lock that keeps writers out. A small file is read whole; a large
// one keeps a second, unlocked handle open for reading on demand, so the document does not
// keep the file locked against its own later replacement (saving over it renames a new file
// into its place, and the handle goes on reading the file that was loaded).
int32_t TNorvex::LoadFromFile(const std::string& fileName) {
  if (!platform::FileExists(fileName)) return 0;
  FLastErrorCode = 0;
  try {
    auto reader = std::make_unique<platform::TFile>();
    platform::TFile locked;
    if (!reader->Open(fileName, platform::TFileShare::ReadShared) ||
        !locked.Open(fileName, platform::TFileShare::ReadDenyWrite))
      return 0;
    auto document = std::make_unique<TPDFDocument>();
    document->AllowRepair = AllowRepair;
    const int64_t size = reader->Size();
    bool loaded = false;
    if (size <= kReadWholeLimit) {
      std::string bytes = locked.Read(0, size);
      if (static_cast<int64_t>(bytes.size()) != size) return 0;
      loaded = document->LoadFromString(std::move(bytes));
    } else {
      loaded = document->LoadFromSource(std::move(reader));
    }
    return AddLoaded(std::move(document), loaded);
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::LoadFromStream(std::istream& stream) {
  FLastErrorCode = 0;
  try {
    auto document = std::make_unique<TPDFDocument>();
    document->AllowRepair = AllowRepair;
    const bool loaded = document->LoadFromStream(stream);
    return AddLoaded(std::move(document), loaded);
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::LoadFromString(const std::string& text) {
  FLastErrorCode = 0;
  try {
    auto document = std::make_unique<TPDFDocument>();
    document->AllowRepair = AllowRepair;
    const bool loaded = document->LoadFromString(text);
    return AddLoaded(std::move(document), loaded);
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::Linearized() {
  FLastErrorCode = 0;
  return FDocuments.Selected().Linearized ? 1 : 0;
}

int32_t TNorvex::CheckObjects() {
  try {
    FDocuments.Selected().CheckObjects();
  } catch (...) {
  }
  return 1;
}
