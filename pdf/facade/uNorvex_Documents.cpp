// TNorvex: the list of in-memory documents, the selected document and its selected page.
#include <algorithm>

#include "uNorvex.h"
#include "uPDFDocument.h"
#include "uPDFExtra.h"

namespace {

// Producer and creator of the documents the library makes.
const char* const kMakerText = "Norvex 4.29 (https://www.parvex.example)";

}  // namespace

TNorvexDocuments::TNorvexDocuments() { Append(MakeBlank()); }

TNorvexDocuments::~TNorvexDocuments() = default;

std::unique_ptr<TPDFDocument> TNorvexDocuments::MakeBlank() {
  auto blank = std::make_unique<TPDFDocument>();
  blank->NewBlank();
  const std::string now = PdfDateNow();
  blank->WriteInfo("Producer", kMakerText);
  blank->WriteInfo("Creator", kMakerText);
  blank->WriteInfo("CreationDate", now);
  blank->WriteInfo("ModDate", now);
  return blank;
}

int32_t TNorvexDocuments::IndexOf(int32_t id) const {
  if (id == 0) return -1;
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].ID == id) return static_cast<int32_t>(i);
  return -1;
}

int32_t TNorvexDocuments::ID(int32_t index) const {
  if (index < 1 || index > Count()) return 0;
  return FItems[static_cast<size_t>(index - 1)].ID;
}

int32_t TNorvexDocuments::Append(std::unique_ptr<TPDFDocument> document) {
  // Identifiers count up and are never given twice; 2^31 documents would be needed to run out.
  if (FNextID < INT32_MAX) ++FNextID;
  FItems.push_back(TItem{FNextID, std::move(document)});
  FSelected = FItems.size() - 1;
  return FNextID;
}

bool TNorvexDocuments::Select(int32_t id) {
  const int32_t index = IndexOf(id);
  if (index < 0) return false;
  FSelected = static_cast<size_t>(index);
  return true;
}

bool TNorvexDocuments::Remove(int32_t id) {
  const int32_t index = IndexOf(id);
  if (index < 0 || FItems.size() < 2) return false;
  const size_t position = static_cast<size_t>(index);
  if (position == FSelected) FSelected = position == 0 ? 1 : position - 1;
  // The selection moves down by one when a document before it goes.
  std::unique_ptr<TPDFDocument> removed = std::move(FItems[position].Document);
  FItems.erase(FItems.begin() + index);
  if (FSelected > position) --FSelected;
  return true;
}

int32_t TNorvex::SelectDocument(int32_t id) { return FDocuments.Select(id) ? 1 : 0; }

int32_t TNorvex::NewDocument() {
  FLastErrorCode = 0;
  try {
    return FDocuments.Append(TNorvexDocuments::MakeBlank());
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::RemoveDocument(int32_t id) {
  try {
    return FDocuments.Remove(id) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::PageCount() {
  try {
    return FDocuments.Selected().PageTree->GetPageCount();
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::SelectPage(int32_t page) {
  try {
    TPDFDocument& document = FDocuments.Selected();
    // An encrypted document's page is decrypted, with all it refers to, before it is used.
    if (document.SecurityKind() == 1) document.PageTree->ReportPageObject();
    document.PageTree->SetCurrentPage(page);
    return document.PageTree->CurrentPage == page ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::SelectedPage() { return FDocuments.Selected().PageTree->CurrentPage; }

double TNorvex::PageWidth() {
  try {
    TPDFDocument& document = FDocuments.Selected();
    return document.PageTree->GetPageWidth() * document.Scale;
  } catch (...) {
    return 0;
  }
}

double TNorvex::PageHeight() {
  try {
    TPDFDocument& document = FDocuments.Selected();
    return document.PageTree->GetPageHeight() * document.Scale;
  } catch (...) {
    return 0;
  }
}
