#pragma once
// The direct-access engine: reads a PDF file in place through its cross-reference data,
// fetches single objects by number into a pool the caller chooses, and answers page queries.
//
// TSmartPDFReader  the cross-reference chain of a file and object fetches
// TSmartPDFInfo    encryption dictionary, catalog and the security handler of one reader
// TSmartPDFDocument catalog and page tree seen through a reader
// TSmartPDFLink    one open file with its reader, info object and document (a DA handle)
//
// The file is never loaded whole: each fetch reads one object's byte range. A caller that
// fetches many objects parses them into a pool of its own and renews it from time to time.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "uPDFFileScan.h"
#include "uPDFObjectText.h"
#include "uPDFSecurity.h"
#include "uPDFStructure.h"
#include "uPlatformFile.h"

// A list of 32-bit integers.
class TIntegerList {
 public:
  void Add(int32_t value) { FItems.push_back(value); }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  int32_t Item(int32_t index) const { return FItems[static_cast<size_t>(index)]; }
  void Clear() { FItems.clear(); }
  const std::vector<int32_t>& Items() const { return FItems; }

 private:
  std::vector<int32_t> FItems;
};

// Sorted byte offsets with a search for the first one above a value. Offsets are 64-bit so
// files beyond 2 GiB keep exact positions.
class TSortedNumberList {
 public:
  void Add(int64_t value) { FItems.push_back(value); }
  void Sort();
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  int64_t Item(int32_t index) const { return FItems[static_cast<size_t>(index)]; }
  // The first item greater than x, or the last item when none is (0 when the list is empty).
  // Only valid after Sort.
  int64_t NextAbove(int64_t x) const;

 private:
  std::vector<int64_t> FItems;
};

// One slot of the object table.
struct TSmartPDFObjectEntry {
  int64_t Location = 0;    // "n": byte offset; "c": number of the object stream; "f": next free number
  int32_t Number = 0;      // object number this slot was filled for; 0 while empty
  int32_t Generation = 0;  // "n", "f": generation; "c": index inside the object stream
  char Kind = 0;           // 'n', 'f', 'c', or 0 when no section mentions the number
};

// One object as read from the file (or from its object stream), for a caller that moves its
// bytes: the text, the parsed value with the places of its parts, and a stream's data.
struct TSmartPDFObjectText {
  std::string Text;             // the bytes the object was read from
  size_t ValueStart = 0;        // where its value starts in Text
  TPDFTextSpans Spans;          // the value's end and parts, counted from ValueStart
  TPDFObject* Value = nullptr;  // the parsed value (for a stream, its dictionary)
  bool IsStream = false;
  TPDFStreamBounds Data;        // a stream's data, counted from the start of Text
};

class TSmartPDFReader {
 public:
  enum : uint8_t { kOpened = 0, kNoHeader = 1, kNoXRef = 2 };
  // Highest object number the table accepts; entries above it are ignored, so a hostile
  // subsection cannot make the table huge.
  static constexpr int32_t kMaxObjectNumber = 8388607;
  // Nesting of fetches (a /Length or object stream that needs another fetch) beyond which
  // a fetch gives none.
  static constexpr int kMaxFetchDepth = 8;
  // Number of sections read along /Prev and /XRefStm before the chain is given up.
  static constexpr int kMaxSections = 10000;

  // Opens the file at once; Status tells how far it got. The stream is not owned. With repair
  // allowed, a file whose cross-reference data cannot be used (missing, unreadable, or not
  // leading to its catalog) is rebuilt from a scan of its objects, and an object that is not
  // where its entry says is looked for where the scan found it; Repaired and Warnings say so.
  explicit TSmartPDFReader(const platform::TByteSource& stream, bool allowRepair = true);
  ~TSmartPDFReader();
  TSmartPDFReader(const TSmartPDFReader&) = delete;
  TSmartPDFReader& operator=(const TSmartPDFReader&) = delete;

  int32_t MaxObjectNumber() const { return static_cast<int32_t>(Objects.size()) - 1; }
  // The object's text after its head ("n g obj"); empty when absent.
  std::string GetObjectText(int32_t objNum);
  // Parses the object into pool (into Pool when none); none when absent.
  TPDFObject* FetchObject(int32_t objNum, TPDFStructure* pool = nullptr);
  // Reads and parses the object into pool, keeping its text; false when absent (no entry, or
  // its bytes do not start as that object, or hold no value).
  bool ReadObject(int32_t objNum, TPDFStructure* pool, TSmartPDFObjectText& object);
  int32_t GetGeneration(int32_t objNum) const;
  bool IsCompressed(int32_t objNum) const;
  TPDFDictionary* FirstTrailer() const { return Trailers.empty() ? nullptr : Trailers.front(); }
  // The key's value in the newest trailer that has one, resolved; only a dictionary is returned.
  TPDFDictionary* TrailerDictionary(const std::string& key);
  // The key's value in the newest trailer that has the key, when it is a reference.
  TPDFIndRef* TrailerReference(const std::string& key);
  // The value itself, or the object a reference names fetched into pool.
  TPDFObject* Resolve(TPDFObject* value, TPDFStructure* pool);
  // Rewrites Trailer for a copy of the file: /Size, /Info, /Root, a new /ID, no /Prev.
  void PrepareTrailer();
  // Forgets the object streams loaded so far (their data depend on the file key).
  void ClearObjectStreamCache();
  // Takes back the bytes of stream data its caller is done with, so the next large read
  // reuses that memory instead of fresh pages.
  void RecycleBuffer(std::string&& bytes);

  std::string Version;
  bool Repaired = false;
  std::vector<std::string> Warnings;  // what was wrong with the file, in plain words
  const platform::TByteSource& Stream;
  std::unique_ptr<TPDFStructure> Pool;
  TPDFDictionary* Trailer = nullptr;
  uint8_t Status = kOpened;
  int64_t StartXRef = 0;
  std::function<void(TSmartPDFReader& reader)> OnNewID;
  std::function<void(int32_t objNum, TPDFStream* stream)> OnObjectStreamLoaded;
  bool HasEncryptEntry = false;
  std::vector<TSmartPDFObjectEntry> Objects;
  TSortedNumberList Offsets;
  std::vector<TPDFDictionary*> Trailers;  // newest first
  // Object streams already loaded (decrypted and decoded), by object number.
  std::unordered_map<int32_t, TPDFStream*> ObjStmCache;

 private:
  bool CheckHeader();
  bool ReadChain();
  // True when the newest trailer's /Root names an object the table can read (or one kept in
  // an object stream of an encrypted file, which cannot be read before the key is known).
  bool RootReadable();
  // Rebuilds the table and the trailer from a scan of the file; false when it holds no objects.
  bool Recover(const std::string& reason);
  const TPDFFileScan& Scan();
  bool ReadFoundObject(int32_t objNum, TSmartPDFObjectText& object);
  void Warn(const std::string& warning);
  bool FindStartXRef();
  // One section; prev gets the offset of the next older one (0 when there is none).
  bool ReadSection(int64_t offset, int64_t& prev);
  bool ReadClassicTable(int64_t position, int64_t& prev);
  bool ReadXRefStream(int64_t dictStart, int64_t* prev);
  TPDFDictionary* FindDictionary(int64_t position);
  // Makes room in the table at once for a subsection of count entries from first.
  void GrowObjects(int64_t first, int64_t count);
  void StoreEntry(int64_t objNum, char kind, int64_t location, int64_t generation);
  std::string ObjectStreamText(int32_t objNum, const TSmartPDFObjectEntry& entry);
  TPDFStream* LoadObjectStream(int32_t streamNum);
  // The number pairs at the head of a loaded object stream (read once per stream).
  const std::vector<int64_t>* ObjectStreamHead(int32_t streamNum, TPDFStream* stream);
  // The data length a stream dictionary declares, a reference resolved; -1 when none.
  int64_t StreamLength(TPDFDictionary* dictionary);
  std::string NewIdentifier() const;
  // Where the object's bytes lie in the file (its head included); false when it has none there.
  bool ObjectRange(int32_t objNum, int64_t& start, int64_t& length) const;
  // The bytes of an object's range: small ranges come out of a read-ahead window, so a run of
  // fetches in file order costs one read per window instead of one per object.
  std::string ReadRange(int64_t start, int64_t length);

  bool FAllowRepair = true;
  std::unique_ptr<TPDFFileScan> FScan;  // made the first time the file needs one
  std::unordered_set<int64_t> FVisitedSections;
  int FSectionsRead = 0;
  int FFetchDepth = 0;
  std::unordered_set<int32_t> FObjStmLoading;  // object streams being loaded (loop guard)
  std::unordered_map<int32_t, std::vector<int64_t>> FObjStmHeads;
  uint32_t FInstance = 0;                      // tells readers of one run apart in new /IDs
  int64_t FSize = 0;                           // size of the source, taken at opening
  std::string FWindow;                         // read-ahead bytes of the source
  std::string FSpare;                          // memory for the next large read
  int64_t FWindowStart = 0;
  int64_t FLastReadEnd = -1;                   // end of the last small read (-1: none yet)
};

class TSmartPDFInfo {
 public:
  enum : uint8_t { kNotEncrypted = 0, kStandard = 1, kOtherMethod = 2 };

  // Reads the encryption dictionary, hooks the security handler into the reader and reads
  // the catalog. The reader must outlive this object.
  explicit TSmartPDFInfo(TSmartPDFReader& reader);
  ~TSmartPDFInfo();
  TSmartPDFInfo(const TSmartPDFInfo&) = delete;
  TSmartPDFInfo& operator=(const TSmartPDFInfo&) = delete;

  // True when the catalog was found (an info object without one is a failed open).
  bool HasCatalog() const { return Catalog != nullptr; }
  bool CheckPassword(const std::string& password);
  // Sets the file key from the password. When the key changes, object streams already loaded
  // (decrypted with the old key) are forgotten and the catalog is read again.
  void RememberPassword(const std::string& password);
  std::string FirstFileID() const;
  TPDFDictionary* BuildEncryptDictionary(const std::string& ownerPassword, const std::string& userPassword,
                                         int32_t objNum, uint8_t lowRights, uint8_t highRights, bool is128);
  // RC4 over the object's strings and stream data with that object's key (its own inverse).
  void CryptObject(TPDFObject* object, int32_t objNum, int32_t genNum);
  // The same for an object read with its text: its value's strings, and its stream data where
  // they stand in the text.
  void CryptObjectText(TSmartPDFObjectText& object, int32_t objNum, int32_t genNum);

  int32_t TreePageCount = 0;
  TPDFDictionary* Catalog = nullptr;
  TPDFIndRef* RootRef = nullptr;
  TPDFDictionary* Info = nullptr;
  TPDFIndRef* InfoRef = nullptr;
  TPDFDictionary* Pages = nullptr;
  TPDFIndRef* PagesRef = nullptr;
  TPDFDictionary* EncryptDict = nullptr;
  TPDFDictionary* AcroForm = nullptr;
  TSmartPDFReader& Reader;
  std::string Version;
  uint8_t EncryptionState = kNotEncrypted;
  TSmartPDFEncryption Encryption;
  std::string Password;
  int32_t FieldCount = 0;
  std::unique_ptr<TSmartPDFCrypt> Crypt;

 private:
  void ReadEncryption();
  void ReadCatalog();
};

class TSmartPDFDocument {
 public:
  // Depth of the page tree beyond which a walk gives up.
  static constexpr int kMaxTreeDepth = 256;

  explicit TSmartPDFDocument(TSmartPDFReader& reader);
  ~TSmartPDFDocument();
  TSmartPDFDocument(const TSmartPDFDocument&) = delete;
  TSmartPDFDocument& operator=(const TSmartPDFDocument&) = delete;

  // A changed object when there is one, else the object fetched from the file.
  TPDFObject* GetObjectCached(int32_t objNum, TPDFStructure* pool = nullptr);
  int32_t CountPages();
  // The page reference for page n (1-based) as a new reference in Pool, or none.
  TPDFIndRef* FindPage(int32_t n);
  // DAFindPage: tries the sibling of the previous page first when n follows it.
  TPDFIndRef* FindPageFrom(int32_t n);
  TPDFIndRef* NextSiblingPage(TPDFIndRef* previous);
  bool IsPage(TPDFIndRef* page);
  // The key's value on the page or the nearest ancestor that has it, resolved into pool.
  TPDFObject* InheritedEntry(TPDFIndRef* page, const std::string& key, TPDFStructure* pool);
  double MediaWidth(TPDFIndRef* page);
  double MediaHeight(TPDFIndRef* page);
  // True when the reference was made in this document's Pool.
  bool OwnsReference(const TPDFIndRef* ref) const;

  std::unique_ptr<TPDFStructure> Pool;
  TPDFDictionary* Catalog = nullptr;
  TPDFIndRef* RootRef = nullptr;
  TPDFDictionary* Info = nullptr;
  TPDFIndRef* InfoRef = nullptr;
  TPDFIndRef* PagesRef = nullptr;
  TPDFDictionary* Pages = nullptr;
  TPDFIndRef* AcroFormRef = nullptr;
  TPDFDictionary* AcroForm = nullptr;
  TSmartPDFReader& Reader;
  TSmartPDFInfo* InfoObject = nullptr;
  std::vector<int32_t> ChangedNumbers;
  std::vector<TPDFObject*> ChangedObjects;
  int32_t LastPageNumber = 0;
  TPDFIndRef* LastPageRef = nullptr;

 private:
  double MediaDimension(TPDFIndRef* page, bool width);
  TPDFObject* Resolved(TPDFObject* value, TPDFStructure* pool);
};

// One open file behind a direct-access handle. Members are freed in the reverse of their
// order here: document, info object, reader, then the file (which closes it).
class TSmartPDFLink {
 public:
  // Opens the file exclusively and reads it; Opened tells whether every step succeeded.
  TSmartPDFLink(const std::string& fileName, const std::string& password, bool allowRepair = true);
  // The same over bytes in memory (no file).
  TSmartPDFLink(const char* data, size_t size, const std::string& password, bool allowRepair = true);

  platform::TFile FileStream;
  std::unique_ptr<platform::TMemorySource> MemoryStream;
  std::unique_ptr<TSmartPDFReader> Reader;
  std::unique_ptr<TSmartPDFInfo> InfoObject;
  std::unique_ptr<TSmartPDFDocument> Document;
  bool Opened = false;

 private:
  void OpenOn(const platform::TByteSource& stream, const std::string& password, bool allowRepair);
};
