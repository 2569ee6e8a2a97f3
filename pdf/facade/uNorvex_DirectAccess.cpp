// TNorvex direct-access operations: handles over files read in place, and page queries.
//
// A file handle or page handle is a value from the facade's counter. Values are looked up
// in the handle table before anything they name is touched, so unknown, closed or forged
// values are refused without being dereferenced.
#include <algorithm>
#include <new>

#include "uNorvex.h"
#include "uPDFSmartAccess.h"

bool TNorvex::HandleValueInUse(int32_t value) const {
  for (const TDAHandle& handle : FDAHandles) {
    if (handle.Value == value || handle.PageHandles.count(value)) return true;
  }
  return false;
}

int32_t TNorvex::NewHandleValue() {
  // Positive values only; once the counter has gone round, values still in use are skipped.
  do {
    if (FNextHandle == INT32_MAX) {
      FNextHandle = 0;
      FHandlesWrapped = true;
    }
    ++FNextHandle;
  } while (FHandlesWrapped && HandleValueInUse(FNextHandle));
  return FNextHandle;
}

TNorvex::TDAHandle* TNorvex::FindDAHandle(int32_t value) {
  if (value == 0) return nullptr;
  for (TDAHandle& handle : FDAHandles)
    if (handle.Value == value) return &handle;
  return nullptr;
}

int32_t TNorvex::DAOpenFile(const std::string& fileName, const std::string& password) {
  try {
    auto link = std::make_unique<TSmartPDFLink>(fileName, password, AllowRepair);
    TakeWarnings(false, {});
    if (link->Reader) TakeWarnings(link->Reader->Repaired, link->Reader->Warnings);
    if (!link->Opened) return 0;  // freeing the link closes the file
    TDAHandle handle;
    handle.Value = NewHandleValue();
    handle.Link = std::move(link);
    FDAHandles.push_back(std::move(handle));
    return FDAHandles.back().Value;
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::DACloseFile(int32_t fileHandle) {
  auto found = std::find_if(FDAHandles.begin(), FDAHandles.end(),
                            [&](const TDAHandle& handle) { return fileHandle != 0 && handle.Value == fileHandle; });
  if (found == FDAHandles.end()) return 0;
  found->Link.reset();
  FDAHandles.erase(found);
  return 1;
}

int32_t TNorvex::DAGetPageCount(int32_t fileHandle) {
  try {
    TDAHandle* handle = FindDAHandle(fileHandle);
    return handle ? handle->Link->Document->CountPages() : 0;
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::DAFindPage(int32_t fileHandle, int32_t page) {
  try {
    TDAHandle* handle = FindDAHandle(fileHandle);
    if (!handle) return 0;
    TPDFIndRef* ref = handle->Link->Document->FindPageFrom(page);
    if (!ref) return 0;
    // One page handle per page of a file: asking again for a page gives the same value.
    const int64_t key = (static_cast<int64_t>(ref->ObjNum) << 32) | static_cast<uint32_t>(ref->GenNum);
    auto known = handle->PageHandleOfObject.find(key);
    if (known != handle->PageHandleOfObject.end()) return known->second;
    int32_t value = NewHandleValue();
    handle->PageHandles.emplace(value, ref);
    handle->PageHandleOfObject.emplace(key, value);
    return value;
  } catch (...) {
    return 0;
  }
}

double TNorvex::DAPageDimension(int32_t fileHandle, int32_t pageRef, bool width) {
  try {
    TDAHandle* handle = FindDAHandle(fileHandle);
    if (!handle || pageRef == 0) return 0;
    auto page = handle->PageHandles.find(pageRef);
    if (page == handle->PageHandles.end()) return 0;
    TSmartPDFDocument& document = *handle->Link->Document;
    return width ? document.MediaWidth(page->second) : document.MediaHeight(page->second);
  } catch (...) {
    return 0;
  }
}

double TNorvex::DAGetPageWidth(int32_t fileHandle, int32_t pageRef) { return DAPageDimension(fileHandle, pageRef, true); }

double TNorvex::DAGetPageHeight(int32_t fileHandle, int32_t pageRef) {
  return DAPageDimension(fileHandle, pageRef, false);
}

TNorvex::TDAHandle::TDAHandle() = default;
TNorvex::TDAHandle::TDAHandle(TDAHandle&&) noexcept = default;
TNorvex::TDAHandle& TNorvex::TDAHandle::operator=(TDAHandle&&) noexcept = default;
TNorvex::TDAHandle::~TDAHandle() = default;
