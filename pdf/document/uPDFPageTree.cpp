#include "uPDFPageTree.h"

#include <cmath>
#include <unordered_set>

#include "uPDFAscii85.h"
#include "uPDFFlate.h"

namespace {

// A value with one level of indirect reference resolved.
TPDFObject* Resolved(TPDFObject* value) {
  if (TPDFIndRef* ref = As<TPDFIndRef>(value)) return ref->Resolve();
  return value;
}

// A /Count (one level resolved) as an integer; 0 when it is not a number.
int32_t CountOf(TPDFDictionary* node) {
  TPDFNumeric* count = As<TPDFNumeric>(node->GetValue("Count", true));
  return count ? count->AsInteger() : 0;
}

// An element of a box array: a direct number, else 0.
double BoxItem(TPDFArray* box, int32_t index) {
  TPDFNumeric* number = As<TPDFNumeric>(box->GetItem(index));
  return number ? number->Value : 0;
}

const char* const kFlate = "/FlateDecode";
const char* const kFlateArray = "[ /FlateDecode ]";
const char* const kAscii85Flate = "[ /ASCII85Decode /FlateDecode ]";

}  // namespace

void TPDFAnnots::Load(const TPDFArray* annots) {
  FItems.clear();
  if (!annots) return;
  for (int32_t i = 0; i < annots->Count(); ++i) FItems.push_back(annots->GetItem(i));
}

TPDFPageTree::TPDFPageTree(TPDFDictionary* root) {
  Writer.OnChange = [this] { StoreWriterText(); };
  if (root) {
    Structure = root->Owner;
    Root = root;
    SetCurrentPage(1);
  }
  Writer.Precision = Structure ? Structure->Precision : 4;
}

int32_t TPDFPageTree::GetPageCount() {
  int32_t count = Root ? CountOf(Root) : 0;
  if (count < 0) count = 0;
  if (count < FCacheSlots) {
    for (auto it = PageCache.begin(); it != PageCache.end();) {
      if (it->first >= count) it = PageCache.erase(it);
      else ++it;
    }
  }
  FCacheSlots = count;
  return count;
}

void TPDFPageTree::ResetPageCache() {
  PageCache.clear();
  FCacheSlots = 0;
}

TPDFDictionary* TPDFPageTree::FindPageDictionary(int32_t pageNumber) {
  if (pageNumber <= 0) return nullptr;
  if (pageNumber > GetPageCount()) return nullptr;
  LastParent = Root;
  TPDFDictionary* page = nullptr;
  if (TPDFArray* kids = As<TPDFArray>(Root->GetValue("Kids", true))) page = WalkKids(kids, pageNumber);
  if (page) PageCache[pageNumber - 1] = page;
  else PageCache.erase(pageNumber - 1);
  return page;
}

// Walks /Kids arrays in order, counting pages, and descends into the /Pages node whose
// /Count holds the page; it never comes back up. An array met twice on the way down is a
// loop in the tree and ends the walk with none.
TPDFDictionary* TPDFPageTree::WalkKids(TPDFArray* kids, int32_t pageNumber) {
  std::unordered_set<const TPDFArray*> descended{kids};
  int64_t counter = 0;
  for (int32_t i = 0; i < kids->Count(); ++i) {
    TPDFIndRef* ref = As<TPDFIndRef>(kids->GetItem(i));
    if (!ref) continue;
    LastKids = kids;
    LastKid = ref;
    LastRefObjNum = ref->ObjNum;
    LastRefGenNum = ref->GenNum;
    TPDFDictionary* node = As<TPDFDictionary>(ref->Resolve());
    if (!node) continue;
    TPDFName* type = As<TPDFName>(node->GetValue("Type"));
    if (!type) continue;
    if (type->Value == "Pages") {
      const int32_t count = CountOf(node);
      if (counter + count < pageNumber) {
        counter += count;
        continue;
      }
      TPDFArray* inner = As<TPDFArray>(node->GetValue("Kids", true));
      if (!inner) continue;
      if (!descended.insert(inner).second) return nullptr;
      LastParent = node;
      kids = inner;
      i = -1;
    } else if (type->Value == "Page") {
      if (counter + 1 == pageNumber) return node;
      ++counter;
    }
  }
  return nullptr;
}

void TPDFPageTree::SetCurrentPage(int32_t pageNumber) {
  WidthKnown = false;
  HeightKnown = false;
  if (pageNumber < 1 || pageNumber > GetPageCount()) pageNumber = CurrentPage;
  PageReady = false;
  CurrentPageDict = nullptr;
  if (pageNumber >= 1) {
    auto cached = PageCache.find(pageNumber - 1);
    CurrentPageDict = cached != PageCache.end() ? cached->second : FindPageDictionary(pageNumber);
  }
  if (CurrentPageDict) {
    CurrentPage = pageNumber;
    ContentStreams.clear();
  }
  if (OnPageSelected) OnPageSelected(CurrentPageDict);
}

TPDFIndRef* TPDFPageTree::NewContentStream(bool marked) {
  TPDFStream* stream = Structure->NewStream(std::string());
  if (marked) stream->Dictionary->SetValue(kLayerKey, Structure->KeyName(kLayerMark));
  int32_t objNum = 0;
  int32_t genNum = 0;
  if (Structure->OnNewIndirect) std::tie(objNum, genNum) = Structure->OnNewIndirect(stream);
  return Structure->NewIndRef(objNum, genNum);
}

// The page's /Contents as an array to work on (made direct where the page held a single
// reference or nothing), or none when /Contents is of another kind.
TPDFArray* TPDFPageTree::NormaliseContents() {
  TPDFObject* contents = CurrentPageDict->GetValue("Contents");
  TPDFArray* array = nullptr;
  if (!contents) {
    array = Structure->NewArray();
    array->Add(NewContentStream(true));
  } else if (TPDFIndRef* ref = As<TPDFIndRef>(contents)) {
    if (TPDFArray* target = As<TPDFArray>(ref->Resolve())) return target;
    array = Structure->NewArray();
    array->Add(ref);
  } else {
    return As<TPDFArray>(contents);
  }
  CurrentPageDict->SetValue("Contents", array);
  return array;
}

void TPDFPageTree::PreparePage() {
  TPDFArray* annots = As<TPDFArray>(CurrentPageDict->GetValue("Annots", true));
  if (annots) Annotations.Load(annots);
  else Annotations.Clear();

  TPDFArray* contents = NormaliseContents();
  if (!contents) return;

  // The last content stream is drawn on when it carries the mark, is not too long and is
  // stored plain or in a Flate form; otherwise a new marked stream follows it.
  TPDFStream* last = As<TPDFStream>(Resolved(contents->GetItem(contents->Count() - 1)));
  std::string filterForm;
  bool needNew = !last;
  if (!needNew && !UnsafeLayers) {
    TPDFName* mark = As<TPDFName>(last->Dictionary->GetValue(kLayerKey));
    needNew = !mark || mark->Value != kLayerMark;
  }
  if (!needNew && last->Data.size() > kMaxAppendStream && !LayersCombined) needNew = true;
  if (!needNew) {
    if (TPDFObject* filter = last->Dictionary->GetValue("Filter")) {
      filterForm = filter->ToText();
      needNew = filterForm != kFlate && filterForm != kAscii85Flate && filterForm != kFlateArray;
    }
  }
  if (needNew) {
    contents->Add(NewContentStream(true));
    filterForm.clear();
  }

  // Every element must be a stream. Elements that are not get a new empty stream each;
  // the replaced array is built anew (not edited item by item, which would cost a pool
  // search per item) and becomes the page's direct /Contents.
  bool allStreams = true;
  for (int32_t i = 0; i < contents->Count() && allStreams; ++i)
    allStreams = As<TPDFStream>(Resolved(contents->GetItem(i))) != nullptr;
  if (!allStreams) {
    TPDFArray* rebuilt = Structure->NewArray();
    for (int32_t i = 0; i < contents->Count(); ++i) {
      TPDFObject* item = contents->GetItem(i);
      rebuilt->Add(As<TPDFStream>(Resolved(item)) ? item : NewContentStream(false));
    }
    CurrentPageDict->SetValue("Contents", rebuilt);
    contents = rebuilt;
  }
  for (int32_t i = 0; i < contents->Count(); ++i)
    ContentStreams.push_back(As<TPDFStream>(Resolved(contents->GetItem(i))));

  Writer.Precision = Structure->Precision;
  Writer.OnChange = nullptr;
  Writer.Clear();
  Writer.OnChange = [this] { StoreWriterText(); };
  TPDFStream* target = ContentStreams.back();
  if (filterForm == kAscii85Flate) Writer.LoadText(DecompressFlate(DecodeASCII85(target->Data)));
  else if (filterForm == kFlate || filterForm == kFlateArray) Writer.LoadText(DecompressFlate(target->Data));
  else Writer.LoadText(target->Data);
  CurrentLayer = static_cast<int32_t>(ContentStreams.size());
  PageReady = true;
}

bool TPDFPageTree::PrepareForDrawing() {
  if (!CurrentPageDict) return false;
  if (!PageReady) {
    ContentStreams.clear();
    PreparePage();
  }
  return PageReady;
}

void TPDFPageTree::StoreWriterText() {
  if (CurrentLayer <= 0 || static_cast<size_t>(CurrentLayer) > ContentStreams.size()) return;
  TPDFStream* stream = ContentStreams[static_cast<size_t>(CurrentLayer - 1)];
  if (stream) stream->SetContent(Writer.Text(), false);
}

void TPDFPageTree::ReportPageObject() {
  if (OnNeedObject) OnNeedObject(LastRefObjNum, LastRefGenNum);
}

void TPDFPageTree::LoadDefaultSize() {
  DefaultWidth = 612;
  DefaultHeight = 792;
  if (!Root) return;
  if (TPDFArray* box = As<TPDFArray>(Root->GetValue("MediaBox"))) {
    DefaultWidth = std::fabs(BoxItem(box, 2) - BoxItem(box, 0));
    DefaultHeight = std::fabs(BoxItem(box, 3) - BoxItem(box, 1));
  }
}

// |box[2] - box[0]| (width) or |box[3] - box[1]| (height) of the first /MediaBox up the
// /Parent chain; without one the page receives the default box and the default size answers.
double TPDFPageTree::PageDimension(bool height) {
  const int low = height ? 1 : 0;
  TPDFArray* box = nullptr;
  TPDFDictionary* node = CurrentPageDict;
  for (int step = 0; node && step < kMaxParentSteps; ++step) {
    box = As<TPDFArray>(node->GetValue("MediaBox", true));
    if (box) break;
    node = As<TPDFDictionary>(node->GetValue("Parent", true));
  }
  if (box) return std::fabs(BoxItem(box, low + 2) - BoxItem(box, low));
  // Without a box the default size answers; the page itself is left as it is.
  LoadDefaultSize();
  return height ? DefaultHeight : DefaultWidth;
}

double TPDFPageTree::GetPageWidth() {
  if (WidthKnown) return CachedWidth;
  if (!CurrentPageDict) return 0;
  CachedWidth = PageDimension(false);
  WidthKnown = true;
  return CachedWidth;
}

double TPDFPageTree::GetPageHeight() {
  if (HeightKnown) return CachedHeight;
  if (!CurrentPageDict) return 0;
  CachedHeight = PageDimension(true);
  HeightKnown = true;
  return CachedHeight;
}
