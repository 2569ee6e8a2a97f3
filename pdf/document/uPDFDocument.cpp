// TPDFDocument: loading (header, cross-reference chain, object store, page tree,
// linearization check), the store's bookkeeping, the catalog and the blank document.
#include "uPDFDocument.h"

#include <algorithm>
#include <iterator>

#include "uPDFDocNumbers.h"
#include "uPDFExtra.h"
#include "uPDFObjectStream.h"
#include "uPDFXRef.h"

using pdfdoc::IsDigit;

namespace {

constexpr size_t kHeaderScan = 1024;
constexpr int64_t kHeaderScanRepair = int64_t{1} << 20;
// Entries the cross-reference reader reports at most: a bound for hostile input that
// leaves room for any real file (at least one entry per byte of the file).
constexpr int64_t kMinEntryBound = int64_t{1} << 20;
// Numbers kept in the dense part of the seen-number table beyond four per entry taken.
constexpr size_t kDenseSlack = 65536;
// Entries reserved before the read at most.
constexpr int64_t kReserveEntries = int64_t{1} << 22;

bool IsVersionChar(char c) { return IsDigit(c) || c == '.'; }

// The leading run of version characters in up to 10 bytes; accepted when it reads as a number.
bool TakeVersion(std::string_view text, std::string& version) {
  text = text.substr(0, 10);
  size_t n = 0;
  while (n < text.size() && IsVersionChar(text[n])) ++n;
  std::string run(text.substr(0, n));
  if (!IsNumberText(run)) return false;
  version = run;
  return true;
}

}  // namespace

// ---- Construction and reset ----

TPDFDocument::TPDFDocument() : Structure(std::make_unique<TPDFStructure>()) {
  InstallCallbacks();
  Trailer = Structure->NewDictionary();
  PageTree = std::make_unique<TPDFPageTree>();
}

TPDFDocument::~TPDFDocument() {
  // The page tree refers to values of the structure; it goes first.
  PageTree.reset();
  DropSwapFile();
}

void TPDFDocument::InstallCallbacks() {
  Structure->OnLookup = [this](TPDFIndRef*, int32_t objNum, int32_t genNum) -> TPDFObject* {
    TPDFIndObj* object = FindObject(objNum, genNum);
    return object ? GetLoadedValue(object) : nullptr;
  };
  Structure->OnNewIndirect = [this](TPDFObject* value) {
    TPDFIndObj* object = AddObject(value);
    return std::make_pair(object->ObjNum, object->GenNum);
  };
}

void TPDFDocument::Clear() {
  PageTree = std::make_unique<TPDFPageTree>();
  FScan.reset();
  Repaired = false;
  Warnings.clear();
  Objects.Clear();
  FSectionStarts.clear();
  FObjStms.clear();
  FObjStmBytes = 0;
  FObjStmsLocked = false;
  Structure->Clear();
  Trailer = Structure->NewDictionary();
  FileText.Clear();
  Linearized = false;
  ResetSecurity();
  DropSwapFile();
}

// ---- Loading ----

bool TPDFDocument::LoadFromStream(std::istream& stream) {
  std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  return LoadFromString(std::move(text));
}

bool TPDFDocument::LoadFromString(std::string text) {
  Clear();
  FileText.Assign(std::move(text));
  return LoadBytes();
}

bool TPDFDocument::LoadFromSource(std::unique_ptr<TPDFFileBytes::TSource> source) {
  Clear();
  FileText.Attach(std::move(source));
  return LoadBytes();
}

bool TPDFDocument::LoadBytes() {
  bool ok = false;
  try {
    ok = ParseDocument();
  } catch (...) {
    ok = false;
  }
  if (!ok) {
    // What made the file unreadable is kept for the caller.
    std::vector<std::string> reasons = std::move(Warnings);
    Clear();
    Warnings = std::move(reasons);
  }
  RememberPassword(std::string());
  return ok;
}

bool TPDFDocument::ParseDocument() {
  if (!ReadHeader()) {
    Warn("no PDF header");
    return false;
  }
  const bool chain = ReadXRef();
  if (AllowRepair && (!chain || !RootLoadable())) {
    const std::string reason =
        chain ? "the cross-reference data does not lead to the document catalog" : "the cross-reference data cannot be read";
    if (!Recover(reason) && !chain) return false;
  } else if (!chain) {
    Warn("the cross-reference data cannot be read");
    return false;
  }
  // An encrypted file whose user password is empty is opened before its pages are read, so
  // that objects kept in its object streams can be read.
  RememberPassword(std::string());
  BuildPageTree(true);
  return CheckLinearization();
}

bool TPDFDocument::ReadHeader() {
  std::string buffer;
  std::string_view head = FileText.Read(0, kHeaderScan, buffer);
  bool accepted = false;
  size_t pdf = head.find("%PDF-");
  if (pdf == std::string_view::npos && AllowRepair) {
    // Further in, after leading bytes of something else (mail headers, a wrapper).
    std::string furtherBuffer;
    const std::string_view further = FileText.Read(0, kHeaderScanRepair, furtherBuffer);
    const size_t at = further.find("%PDF-");
    if (at != std::string_view::npos && TakeVersion(further.substr(at + 5), Version)) {
      Warn("the file does not start with its PDF header");
      return true;
    }
  }
  if (pdf != std::string_view::npos) accepted = TakeVersion(head.substr(pdf + 5), Version);
  size_t ps = head.find("%!PS-Adobe-");
  if (ps != std::string_view::npos) {
    std::string_view after = head.substr(ps + 11, 20);
    size_t marker = after.find("PDF-");
    if (marker != std::string_view::npos) {
      const size_t at = ps + 11 + marker + 4;
      accepted = TakeVersion(head.substr(std::min(at, head.size())), Version) || accepted;
    }
  }
  return accepted;
}

bool TPDFDocument::IsSeen(int32_t objNum) const {
  if (objNum >= 0 && static_cast<size_t>(objNum) < FSeenDense.size() && FSeenDense[static_cast<size_t>(objNum)])
    return true;
  return !FSeenSparse.empty() && FSeenSparse.count(objNum) != 0;
}

void TPDFDocument::MarkSeen(int32_t objNum) {
  const size_t limit = 4 * Objects.SlotCount() + kDenseSlack;
  if (objNum >= 0 && static_cast<size_t>(objNum) < limit) {
    if (static_cast<size_t>(objNum) >= FSeenDense.size())
      FSeenDense.resize(std::min(limit, std::max<size_t>(static_cast<size_t>(objNum) + 1, 2 * FSeenDense.size())));
    FSeenDense[static_cast<size_t>(objNum)] = true;
  } else {
    FSeenSparse.insert(objNum);
  }
}

void TPDFDocument::OnEntry(int32_t objNum, int64_t field2, int64_t field3, char kind) {
  if (kind != 'n' && kind != 'c') return;
  if (IsSeen(objNum)) return;
  MarkSeen(objNum);
  if (kind == 'n')
    Objects.AppendPlain(objNum, field3 > INT32_MAX ? -1 : static_cast<int32_t>(field3), field2);
  else
    Objects.AppendCompressed(objNum, field2 > INT32_MAX ? -1 : static_cast<int32_t>(field2),
                             field3 > INT32_MAX ? INT32_MAX : static_cast<int32_t>(field3));
}

void TPDFDocument::OnTrailer(const std::string& text) {
  if (FTrailerTaken) return;
  TPDFDictionary* trailer = As<TPDFDictionary>(Structure->Parse(text));
  if (!trailer) return;
  FTrailerTaken = true;
  // What described the loaded file's cross-reference data goes; a written file has a table of
  // its own, where an old /XRefStm offset would point at nothing valid.
  for (const char* key : {"Prev", "Type", "W", "Index", "Length", "Filter", "DecodeParms", "XRefStm"})
    trailer->Remove(key);
  Trailer = trailer;
}

bool TPDFDocument::ReadXRef() {
  TPDFXRefReader reader(FileText);
  reader.OnEntry = [this](int32_t objNum, int64_t field2, int64_t field3, char kind) {
    OnEntry(objNum, field2, field3, kind);
  };
  reader.OnTrailer = [this](const std::string& text) { OnTrailer(text); };
  reader.MaxEntries = std::max<int64_t>(kMinEntryBound, FileText.Size());
  reader.RejectCutRevision = AllowRepair;
  Entries.clear();
  Objects.Clear();
  // Room for as many objects as a classic table of the file's size could list (address
  // space only until used), so the slots are not copied as they grow.
  Objects.ReserveSlots(static_cast<size_t>(std::min<int64_t>(FileText.Size() / 20 + 64, kReserveEntries)));
  FSeenDense.clear();
  FSeenSparse.clear();
  FTrailerTaken = false;
  const bool ok = reader.ReadSection(reader.FindStartXRef());
  FSectionStarts = reader.SectionOffsets();
  if (!FTrailerTaken) Trailer = Structure->NewDictionary();
  Objects.Build(FileText.Size());
  std::vector<bool>().swap(FSeenDense);
  std::unordered_set<int32_t>().swap(FSeenSparse);
  return ok;
}

// ---- Repair ----

void TPDFDocument::Warn(const std::string& warning) {
  if (std::find(Warnings.begin(), Warnings.end(), warning) == Warnings.end()) Warnings.push_back(warning);
}

const TPDFFileScan& TPDFDocument::Scan() {
  if (!FScan) FScan = std::make_unique<TPDFFileScan>(FileText);
  return *FScan;
}

bool TPDFDocument::RootLoadable() {
  const TPDFIndRef* ref = As<TPDFIndRef>(Trailer->GetValue("Root"));
  TPDFIndObj* root = ref ? FindObject(ref->ObjNum, ref->GenNum) : nullptr;
  if (!root) return false;
  if (root->Compressed && SecurityKind() != 0) return true;
  FLoadingRoot = true;  // the store itself is judged, without the scan's help
  const bool loadable = As<TPDFDictionary>(GetLoadedValue(root)) != nullptr;
  FLoadingRoot = false;
  return loadable;
}

bool TPDFDocument::FoundObjectText(const TPDFIndObj* object, std::string& text) {
  if (!AllowRepair || FLoadingRoot || object->Compressed) return false;
  const TPDFFileScan::TObjectAt* found = Scan().Find(object->ObjNum);
  if (!found || found->Gen != object->GenNum) return false;
  text = FileText.Copy(found->Offset, Scan().NextObjectAfter(found->Offset) - found->Offset);
  if (ValueStart(text, object) == std::string_view::npos) return false;
  Repaired = true;
  Warn("objects are not where the cross-reference data says; they were found by a scan of the file");
  return true;
}

namespace {

constexpr int64_t kTrailerWindow = 2048;

}  // namespace

bool TPDFDocument::Recover(const std::string& reason) {
  const TPDFFileScan& scan = Scan();
  if (scan.Objects().empty()) {
    Warn("no objects found");
    return false;
  }
  const auto& heads = scan.Objects();
  Entries.clear();
  Objects.Clear();
  FObjStms.clear();
  FObjStmBytes = 0;
  Structure->Clear();
  Trailer = Structure->NewDictionary();
  ResetSecurity();
  Objects.ReserveSlots(heads.size());
  FSeenDense.clear();
  FSeenSparse.clear();
  FTrailerTaken = false;
  // The last head of a number is its newest definition; the first entry taken wins.
  for (auto it = heads.rbegin(); it != heads.rend(); ++it) OnEntry(it->Num, it->Offset, it->Gen, 'n');

  // Trailer dictionaries and cross-reference streams, newest first.
  const std::vector<TPDFFileScan::TTrailerSource> sources = scan.TrailerSources();
  std::vector<std::string> texts;
  TPDFXRefReader reader(FileText);
  reader.OnEntry = [this](int32_t objNum, int64_t field2, int64_t field3, char kind) {
    OnEntry(objNum, field2, field3, kind);
  };
  reader.OnTrailer = [&texts](const std::string& text) { texts.push_back(text); };
  FSectionStarts.clear();
  TPDFStructure scratch;
  for (const auto& [offset, isStream] : sources) {
    FSectionStarts.push_back(offset);
    std::string buffer;
    if (isStream) {
      // The dictionary only, here; its entries come after those of the object streams.
      const std::string_view window = FileText.Read(offset, kTrailerWindow, buffer);
      const size_t open = window.find("<<");
      if (open == std::string_view::npos) continue;
      if (TPDFDictionary* dictionary = As<TPDFDictionary>(scratch.Parse(window.data() + open, window.size() - open)))
        texts.push_back(dictionary->ToText());
      continue;
    }
    const std::string_view window = FileText.Read(offset + 7, kTrailerWindow, buffer);
    if (TPDFDictionary* trailer = As<TPDFDictionary>(scratch.Parse(window.data(), window.size())))
      texts.push_back(trailer->ToText());
  }
  std::sort(FSectionStarts.begin(), FSectionStarts.end());
  TPDFDictionary* merged = scratch.NewDictionary();
  bool encrypted = false;
  for (const std::string& text : texts) {
    const TPDFDictionary* trailer = As<TPDFDictionary>(scratch.Parse(text));
    encrypted = encrypted || (trailer && trailer->IndexOf("Encrypt") >= 0);
  }
  // Object streams of a file that is not encrypted give their members too (the data of an
  // encrypted one cannot be read before the key is known).
  for (auto it = heads.rbegin(); it != heads.rend() && !encrypted; ++it) {
    if (it->Kind != TPDFFileScan::kObjectStream) continue;
    const std::string text = FileText.Copy(it->Offset, scan.NextObjectAfter(it->Offset) - it->Offset);
    const std::vector<int32_t> members = ObjectStreamMembers(text, it->Num, it->Gen);
    for (size_t index = 0; index < members.size(); ++index)
      OnEntry(members[index], it->Num, static_cast<int64_t>(index), 'c');
  }
  reader.OnTrailer = nullptr;
  for (const auto& [offset, isStream] : sources)
    if (isStream) reader.ReadSection(offset);
  for (const char* key : TPDFFileScan::kTrailerKeys) {
    for (const std::string& text : texts) {
      TPDFDictionary* trailer = As<TPDFDictionary>(scratch.Parse(text));
      if (TPDFObject* value = trailer ? trailer->GetValue(key) : nullptr) {
        merged->SetValue(key, value);
        break;
      }
    }
  }
  OnTrailer(merged->ToText());
  if (!FTrailerTaken) Trailer = Structure->NewDictionary();
  Objects.Build(FileText.Size());
  std::vector<bool>().swap(FSeenDense);
  std::unordered_set<int32_t>().swap(FSeenSparse);
  if (!RootLoadable()) {
    // No trailer names a catalog that can be read: the newest object that is one serves.
    for (const TPDFFileScan::TObjectAt& catalog : scan.CatalogsNewestFirst()) {
      Trailer->SetValue("Root", Structure->NewIndRef(catalog.Num, catalog.Gen));
      if (RootLoadable()) break;
    }
  }
  Repaired = true;
  Warn(reason + "; the file was rebuilt from a scan of its objects");
  return true;
}

void TPDFDocument::BuildPageTree(bool withRemove) {
  TPDFDictionary* root = nullptr;
  if (SecurityKind() != 0 && StoredPassword.empty()) {
    // Objects that cannot be decrypted yet may read as nothing: the catalog is not replaced
    // for that; the tree is built again once a password opens the document.
    const TPDFDictionary* catalog = As<TPDFDictionary>(Trailer->GetValue("Root", true));
    root = catalog ? As<TPDFDictionary>(catalog->GetValue("Pages", true)) : nullptr;
  } else {
    root = PagesRoot();
  }
  PageTree = std::make_unique<TPDFPageTree>(root);
  PageTree->OnNeedObject = [this](int32_t objNum, int32_t genNum) { DecryptTree(objNum, genNum); };
  if (withRemove)
    PageTree->OnRemoveObject = [this](int32_t objNum, int32_t genNum) { RemoveObject(objNum, genNum); };
  PageTree->SetCurrentPage(1);
}

// A file that names a linearization dictionary in its first 1024 bytes: the object in
// front of the first " obj" there must exist; when it is that dictionary, it is emptied so
// that a saved copy no longer claims to be linearized.
bool TPDFDocument::CheckLinearization() {
  Linearized = false;
  std::string buffer;
  std::string_view head = FileText.Read(0, kHeaderScan, buffer);
  if (head.find("/Linearized") == std::string_view::npos) return true;
  const size_t obj = head.find(" obj");
  if (obj == std::string_view::npos) return true;
  size_t p = obj;
  const size_t genEnd = p;
  while (p > 0 && IsDigit(head[p - 1])) --p;
  const size_t genStart = p;
  if (genStart == genEnd || p == 0) return true;
  --p;  // the one separator between the two numbers
  const size_t numEnd = p;
  while (p > 0 && IsDigit(head[p - 1])) --p;
  if (p == numEnd) return true;
  const int64_t objNum = pdfdoc::DigitsValue(head.substr(p, numEnd - p), -1, INT32_MAX);
  const int64_t genNum = pdfdoc::DigitsValue(head.substr(genStart, genEnd - genStart), -1, INT32_MAX);
  if (objNum < 0 || genNum < 0) return false;
  TPDFIndObj* object = FindObject(static_cast<int32_t>(objNum), static_cast<int32_t>(genNum));
  if (!object) return false;
  TPDFDictionary* dict = As<TPDFDictionary>(GetLoadedValue(object));
  if (dict && dict->IndexOf("Linearized") >= 0) {
    Linearized = true;
    while (dict->Count() > 0) dict->Remove(dict->GetEntry(dict->Count() - 1).Key->Value);
  }
  return true;
}

// ---- The store ----

TPDFIndObj* TPDFDocument::FindObject(int32_t objNum, int32_t genNum) {
  TPDFIndObj* object = Objects.Find(objNum);
  return object && object->GenNum == genNum ? object : nullptr;
}

int32_t TPDFDocument::NextObjectNumber() const {
  if (Objects.MaxObjNum() < INT32_MAX) return Objects.MaxObjNum() + 1;
  // The highest number is taken: the lowest number not in use serves.
  int32_t n = 1;
  while (Objects.HasNumber(n)) ++n;
  return n;
}

TPDFIndObj* TPDFDocument::AddObject(TPDFObject* value) {
  if (!As<TPDFNumeric>(Trailer->GetValue("Size"))) Trailer->SetValue("Size", Structure->NewNumeric(1));
  auto record = std::make_unique<TPDFIndObj>();
  TPDFIndObj* object = record.get();
  object->Document = this;
  object->ObjNum = NextObjectNumber();
  object->GenNum = 0;
  object->Loaded = true;
  object->Value = value;
  if (value) value->SetIndirect(object->ObjNum, 0);
  Objects.Add(std::move(record));
  As<TPDFNumeric>(Trailer->GetValue("Size"))->Value = static_cast<double>(object->ObjNum) + 1;
  return object;
}

TPDFIndRef* TPDFDocument::AddObjectRef(TPDFObject* value) {
  TPDFIndObj* object = AddObject(value);
  return Structure->NewIndRef(object->ObjNum, object->GenNum);
}

void TPDFDocument::RemoveObject(int32_t objNum, int32_t genNum) {
  TPDFIndObj* object = FindObject(objNum, genNum);
  if (!object) return;
  Objects.Remove(object);
  FObjStms.erase(object);
}

int32_t TPDFDocument::CheckObjects() {
  for (TPDFIndObj* object : Objects) GetLoadedValue(object);
  return 1;
}

TPDFDictionary* TPDFDocument::Catalog() {
  if (TPDFDictionary* catalog = As<TPDFDictionary>(Trailer->GetValue("Root", true))) return catalog;
  TPDFDictionary* catalog = Structure->NewDictionary();
  Trailer->SetValue("Root", AddObjectRef(catalog));
  return catalog;
}

TPDFDictionary* TPDFDocument::PagesRoot() { return As<TPDFDictionary>(Catalog()->GetValue("Pages", true)); }

// A one-page Letter document: 1 the page-tree root, 2 the page, 3 the catalog, 4 an empty
// information dictionary.
void TPDFDocument::NewBlank() {
  Clear();
  Version = "1.4";
  TPDFStructure& s = *Structure;
  TPDFDictionary* pages = s.NewDictionary();
  pages->SetValue("Type", s.KeyName("Pages"));
  pages->SetValue("Count", s.NewNumeric(1));
  pages->SetValue("Kids", s.NewArrayOf({s.NewIndRef(2, 0)}));
  AddObject(pages);

  TPDFDictionary* page = s.NewDictionary();
  page->SetValue("Type", s.KeyName("Page"));
  page->SetValue("Parent", s.NewIndRef(1, 0));
  page->SetValue("MediaBox", s.NewIntegerArray({0, 0, 612, 792}));
  page->SetValue("CropBox", s.NewIntegerArray({0, 0, 612, 792}));
  TPDFDictionary* resources = s.NewDictionary();
  resources->SetValue("ProcSet", s.NewArrayOf({s.KeyName("PDF"), s.KeyName("Text"), s.KeyName("ImageB"),
                                               s.KeyName("ImageC"), s.KeyName("ImageI")}));
  page->SetValue("Resources", resources);
  AddObject(page);

  TPDFDictionary* catalog = s.NewDictionary();
  catalog->SetValue("Type", s.KeyName("Catalog"));
  catalog->SetValue("Pages", s.NewIndRef(1, 0));
  AddObject(catalog);
  AddObject(s.NewDictionary());

  Trailer->SetValue("Root", s.NewIndRef(3, 0));
  Trailer->SetValue("Info", s.NewIndRef(4, 0));
  EnsureID();
  BuildPageTree(false);
}
