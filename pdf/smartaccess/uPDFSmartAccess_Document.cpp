// TSmartPDFDocument: the catalog and the page tree of a file seen through its reader, and
// the page queries of the direct-access handles.
#include <algorithm>
#include <unordered_set>

#include "uPDFSmartAccess.h"

TSmartPDFDocument::TSmartPDFDocument(TSmartPDFReader& reader)
    : Pool(std::make_unique<TPDFStructure>()), Reader(reader) {
  RootRef = reader.TrailerReference("Root");
  Catalog = reader.TrailerDictionary("Root");
  InfoRef = reader.TrailerReference("Info");
  Info = reader.TrailerDictionary("Info");
  if (!Catalog) return;
  if (Catalog->GetTypeName() == "Catalog") {
    if ((PagesRef = As<TPDFIndRef>(Catalog->GetValue("Pages"))))
      Pages = As<TPDFDictionary>(GetObjectCached(PagesRef->ObjNum));
  }
  if ((AcroFormRef = As<TPDFIndRef>(Catalog->GetValue("AcroForm"))))
    AcroForm = As<TPDFDictionary>(GetObjectCached(AcroFormRef->ObjNum));
}

TSmartPDFDocument::~TSmartPDFDocument() = default;

TPDFObject* TSmartPDFDocument::GetObjectCached(int32_t objNum, TPDFStructure* pool) {
  auto changed = std::find(ChangedNumbers.begin(), ChangedNumbers.end(), objNum);
  if (changed != ChangedNumbers.end()) return ChangedObjects[static_cast<size_t>(changed - ChangedNumbers.begin())];
  return Reader.FetchObject(objNum, pool ? pool : Pool.get());
}

TPDFObject* TSmartPDFDocument::Resolved(TPDFObject* value, TPDFStructure* pool) {
  if (const TPDFIndRef* ref = As<TPDFIndRef>(value)) return GetObjectCached(ref->ObjNum, pool);
  return value;
}

bool TSmartPDFDocument::OwnsReference(const TPDFIndRef* ref) const { return ref && ref->Owner == Pool.get(); }

int32_t TSmartPDFDocument::CountPages() {
  if (!Pages) return 1;
  TPDFStructure scratch;
  const TPDFNumeric* count = As<TPDFNumeric>(Resolved(Pages->GetValue("Count"), &scratch));
  return count ? count->AsInteger() : 1;
}

TPDFIndRef* TSmartPDFDocument::FindPageFrom(int32_t n) {
  TPDFIndRef* page = nullptr;
  if (n == LastPageNumber + 1 && LastPageRef) page = NextSiblingPage(LastPageRef);
  if (!page) page = FindPage(n);
  LastPageNumber = n;
  LastPageRef = page;
  return page;
}

TPDFIndRef* TSmartPDFDocument::NextSiblingPage(TPDFIndRef* previous) {
  TPDFStructure scratch;
  const TPDFDictionary* page = As<TPDFDictionary>(GetObjectCached(previous->ObjNum, &scratch));
  const TPDFIndRef* parentRef = page ? As<TPDFIndRef>(page->GetValue("Parent")) : nullptr;
  const TPDFDictionary* parent = parentRef ? As<TPDFDictionary>(GetObjectCached(parentRef->ObjNum, &scratch)) : nullptr;
  const TPDFArray* kids = parent ? As<TPDFArray>(Resolved(parent->GetValue("Kids"), &scratch)) : nullptr;
  if (!kids) return nullptr;
  // The last kid written as the same reference (same object and generation numbers).
  int32_t position = kids->Count() - 1;
  for (; position >= 0; --position) {
    const TPDFIndRef* kid = As<TPDFIndRef>(kids->GetItem(position));
    if (kid && kid->ObjNum == previous->ObjNum && kid->GenNum == previous->GenNum) break;
  }
  if (position < 0 || position + 1 >= kids->Count()) return nullptr;
  const TPDFIndRef* next = As<TPDFIndRef>(kids->GetItem(position + 1));
  const TPDFDictionary* nextPage = next ? As<TPDFDictionary>(GetObjectCached(next->ObjNum, &scratch)) : nullptr;
  if (!nextPage || nextPage->GetTypeName() != "Page") return nullptr;
  return Pool->NewIndRef(next->ObjNum, next->GenNum);
}

TPDFIndRef* TSmartPDFDocument::FindPage(int32_t n) {
  if (n < 1 || !Pages) return nullptr;
  // The walk parses into a scratch pool that goes when it ends; only the result stays.
  TPDFStructure scratch;
  int64_t accumulated = 0;
  const TPDFDictionary* node = Pages;
  const TPDFIndRef* lastKid = nullptr;
  // Nodes already descended into: a /Kids loop ends the walk instead of running forever.
  std::unordered_set<int32_t> visited;
  if (PagesRef) visited.insert(PagesRef->ObjNum);
  for (int depth = 0; node && depth < kMaxTreeDepth; ++depth) {
    const TPDFArray* kids = As<TPDFArray>(Resolved(node->GetValue("Kids"), &scratch));
    if (!kids) break;
    const TPDFDictionary* reached = nullptr;
    int64_t reachedCount = 0;
    bool reachedPage = false;
    for (int32_t i = 0; i < kids->Count() && accumulated < n; ++i) {
      const TPDFIndRef* kidRef = As<TPDFIndRef>(kids->GetItem(i));
      lastKid = kidRef;
      int64_t count = 0;
      const TPDFDictionary* kid = kidRef ? As<TPDFDictionary>(GetObjectCached(kidRef->ObjNum, &scratch)) : nullptr;
      std::string type = kid ? kid->GetTypeName() : std::string();
      if (type == "Pages") {
        const TPDFNumeric* kidCount = As<TPDFNumeric>(Resolved(kid->GetValue("Count"), &scratch));
        count = kidCount ? kidCount->AsInteger() : 0;
      } else if (type == "Page") {
        count = 1;
      }
      accumulated += count;
      reached = kid;
      reachedCount = count;
      reachedPage = type == "Page";
    }
    if (accumulated < n || !lastKid) break;
    if (reachedPage) break;
    accumulated -= reachedCount;
    if (!reached || !visited.insert(lastKid->ObjNum).second) break;
    node = reached;
  }
  if (accumulated != n || !lastKid) return nullptr;
  const TPDFIndRef* result = lastKid;
  const TPDFDictionary* last = As<TPDFDictionary>(GetObjectCached(lastKid->ObjNum, &scratch));
  if (last && last->GetTypeName() == "Pages") {
    const TPDFArray* kids = As<TPDFArray>(Resolved(last->GetValue("Kids"), &scratch));
    const TPDFIndRef* firstKid = kids && kids->Count() > 0 ? As<TPDFIndRef>(kids->GetItem(0)) : nullptr;
    if (firstKid) result = firstKid;
  }
  return Pool->NewIndRef(result->ObjNum, result->GenNum);
}

bool TSmartPDFDocument::IsPage(TPDFIndRef* page) {
  if (!OwnsReference(page)) return false;
  TPDFStructure scratch;
  const TPDFDictionary* dictionary = As<TPDFDictionary>(GetObjectCached(page->ObjNum, &scratch));
  return dictionary && dictionary->GetTypeName() == "Page";
}

TPDFObject* TSmartPDFDocument::InheritedEntry(TPDFIndRef* page, const std::string& key, TPDFStructure* pool) {
  TPDFDictionary* node = As<TPDFDictionary>(GetObjectCached(page->ObjNum, pool));
  // Nodes already looked at: a /Parent loop ends the search.
  std::unordered_set<int32_t> visited{page->ObjNum};
  for (int depth = 0; node && depth < kMaxTreeDepth; ++depth) {
    if (TPDFObject* value = Resolved(node->GetValue(key), pool)) return value;
    TPDFObject* parent = node->GetValue("Parent");
    if (const TPDFIndRef* parentRef = As<TPDFIndRef>(parent)) {
      if (!visited.insert(parentRef->ObjNum).second) break;
    }
    node = As<TPDFDictionary>(Resolved(parent, pool));
  }
  return nullptr;
}

double TSmartPDFDocument::MediaDimension(TPDFIndRef* page, bool width) {
  if (!IsPage(page)) return 0;
  TPDFStructure scratch;
  TPDFRectangle box(As<TPDFArray>(InheritedEntry(page, "MediaBox", &scratch)));
  if (!box.IsValid()) return 0;
  return width ? box.Width() : box.Height();
}

double TSmartPDFDocument::MediaWidth(TPDFIndRef* page) { return MediaDimension(page, true); }
double TSmartPDFDocument::MediaHeight(TPDFIndRef* page) { return MediaDimension(page, false); }
