#pragma once
// One whole PDF file held in memory: its bytes, its newest trailer, the store of its
// indirect objects in file order, its page tree and its security state. Objects are parsed
// lazily, the first time their value is asked for; an object's text is a range of the file
// bytes (or of a decoded object stream), never a copy made at load time.
#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "uPDFFileBytes.h"
#include "uPDFObjectStore.h"
#include "uPDFPageTree.h"
#include "uPDFStructure.h"

class TPDFDocument;

// One cross-reference entry (the writer's bookkeeping of the objects it writes).
struct TXRefEntry {
  int32_t ObjNum = 0;
  int32_t GenNum = 0;
  int64_t Offset = 0;
  bool InUse = true;
  bool Compressed = false;
  int32_t ObjStmNum = 0;
  int32_t ObjStmIndex = 0;
};

class TPDFDocument {
 public:
  TPDFDocument();
  ~TPDFDocument();
  TPDFDocument(const TPDFDocument&) = delete;
  TPDFDocument& operator=(const TPDFDocument&) = delete;

  // ---- Loading ----
  // Reads the rest of the stream as the file; false (and the document cleared) when it is
  // not a readable PDF. All three end by remembering the empty password.
  bool LoadFromStream(std::istream& stream);
  bool LoadFromString(std::string text);
  // Loads a file whose bytes are read on demand through source.
  bool LoadFromSource(std::unique_ptr<TPDFFileBytes::TSource> source);
  bool ParseDocument();
  bool ReadHeader();
  bool ReadXRef();

  // ---- Object store ----
  TPDFIndObj* FindObject(int32_t objNum, int32_t genNum);
  // The object's value, parsed first when it is not loaded yet.
  TPDFObject* GetLoadedValue(TPDFIndObj* object);
  TPDFIndObj* AddObject(TPDFObject* value);
  TPDFIndRef* AddObjectRef(TPDFObject* value);
  // Takes the first object of that number and generation out of the store.
  void RemoveObject(int32_t objNum, int32_t genNum);
  // The text the object is parsed from: its range of the file, or its text cut from its
  // object stream (a compressed object), or its swapped text.
  std::string RawText(TPDFIndObj* object);
  // Loads every object not loaded yet; always 1.
  int32_t CheckObjects();
  // Objects parsed so far (each load of an object counts once).
  int64_t ParsedCount() const { return FParsedCount; }

  TPDFDictionary* Catalog();
  TPDFDictionary* PagesRoot();
  void Clear();
  void NewBlank();

  // ---- Security state (evaluated from the trailer's /Encrypt) ----
  // 0 not encrypted, 1 the standard handler in a supported variant, 2 any other encryption.
  int32_t SecurityKind();
  void EvaluateSecurity();
  void RememberPassword(const std::string& password);
  void DecryptObject(TPDFIndObj* object);
  void DecryptTree(int32_t objNum, int32_t genNum);
  // The trailer's /ID array, made (two equal new identifiers) when it has none.
  TPDFArray* EnsureID();

  // ---- Fields ----
  TPDFFileBytes FileText;
  std::string Version;
  std::unique_ptr<TPDFStructure> Structure;
  TPDFDictionary* Trailer = nullptr;
  TPDFObjectStore Objects{this};     // the store in file order, added objects last
  std::vector<TXRefEntry> Entries;   // empty after a load; the writer's bookkeeping
  std::unique_ptr<TPDFPageTree> PageTree;
  bool Linearized = false;
  std::string TempFileName;
  double Scale = 1;  // measurement scale of page widths and heights

  bool HasEncrypt = false;
  bool SecurityEvaluated = false;
  int32_t Strength = 0;
  int32_t EncryptR = 0;
  int32_t EncryptV = 0;
  std::string FileO;
  std::string FileU;
  int32_t FileP = 0;
  std::string StoredPassword;
  std::string FileKey;

  // An object stream decoded once and kept for the objects read from it.
  struct TObjStmCache {
    const TPDFObject* Value = nullptr;  // the stream value it was made from
    bool Decrypted = false;
    bool Usable = false;                // /Type /ObjStm with /First and /N above 0
    int64_t First = 0;
    int64_t N = 0;
    std::string Decoded;
    std::vector<double> Table;          // the header's numbers (NaN where an item is not a number)
  };
  // Decoded object streams kept at most (in decoded bytes) before the cache is emptied.
  static constexpr size_t kObjStmCacheBytes = size_t{256} << 20;
  // Nesting of object loads (a /Length or an object stream met while loading) beyond which
  // an object is not loaded, so a chain of such links cannot exhaust the stack.
  static constexpr int kMaxLoadDepth = 64;

 private:
  void InstallCallbacks();
  bool LoadBytes();
  void OnEntry(int32_t objNum, int64_t field2, int64_t field3, char kind);
  void OnTrailer(const std::string& text);
  void BuildPageTree(bool withRemove);
  bool CheckLinearization();
  void ResetSecurity();
  TPDFObject* LoadObject(TPDFIndObj* object);
  TPDFObject* ParseObjectText(TPDFIndObj* object, std::string_view text, std::string* holder);
  TPDFObject* MakeStream(TPDFDictionary* dict, std::string_view text, std::string* holder);
  std::string CompressedText(TPDFIndObj* object);
  const TObjStmCache* ObjectStream(TPDFIndObj* holder);
  int32_t NextObjectNumber() const;
  bool IsSeen(int32_t objNum) const;
  void MarkSeen(int32_t objNum);

  // Object numbers already taken from the cross-reference chain: a dense bit table for
  // small numbers, a hash set for the rest.
  std::vector<bool> FSeenDense;
  std::unordered_set<int32_t> FSeenSparse;
  bool FTrailerTaken = false;

  // Where the cross-reference sections of the loaded file start, ascending: an object's text
  // is parsed up to the next of them at most (its range for copying runs on to the next object).
  std::vector<int64_t> FSectionStarts;

  std::unordered_map<const TPDFIndObj*, TObjStmCache> FObjStms;
  size_t FObjStmBytes = 0;
  int FLoadDepth = 0;
  int64_t FParsedCount = 0;
};
