#pragma once
// One whole PDF file held in memory: its bytes, its newest trailer, the store of its
// indirect objects in file order, its page tree and its security state. Objects are parsed
// lazily, the first time their value is asked for; an object's text is a range of the file
// bytes (or of a decoded object stream), never a copy made at load time.
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "uPDFFileBytes.h"
#include "uPDFFileScan.h"
#include "uPDFObjectStore.h"
#include "uPDFPageTree.h"
#include "uPDFSecurity.h"
#include "uPDFStructure.h"
#include "uPlatformFile.h"

class TPDFDocument;

// Where the writer puts a document's bytes: a file or memory.
class TPDFOutput {
 public:
  virtual ~TPDFOutput() = default;
  // False when the bytes could not be written.
  virtual bool Write(const char* data, size_t size) = 0;
  bool Write(std::string_view text) { return Write(text.data(), text.size()); }
  virtual int64_t Position() const = 0;
};

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
  // Password checks against the file's entries (the key computation is the security
  // handler's, run on this document's work state); a check changes the work fields only.
  bool CheckUserPassword(const std::string& password);
  bool CheckOwnerPassword(const std::string& password);
  // On a password that checks: StoredPassword "!" + password and FileKey the computed key;
  // otherwise StoredPassword empty (FileKey stays).
  void RememberPassword(const std::string& password);
  void ComputeKeys();
  std::string ObjectKey(int32_t objNum, int32_t genNum) const;
  static void CryptValue(const std::string& key, TPDFObject* value);
  // Loads the object and, with an accepted password, turns its strings and streams to plain text.
  void DecryptObject(TPDFIndObj* object);
  void ReencryptObject(TPDFIndObj* object);
  // Decrypts the object and every object its dictionaries and arrays refer to.
  void DecryptTree(int32_t objNum, int32_t genNum);
  // Applies RC4 with each object's key to every object of the store: when encrypting, to
  // every object (all are plain), otherwise to those not decrypted yet. Errors on one object
  // skip it. With swapOut, each object is then kept as text (in the swap file when long).
  void CryptAllObjects(bool swapOut, bool encrypting);
  bool EncryptDocument(const std::string& owner, const std::string& user, bool is128, uint8_t lowRights,
                       uint8_t highRights);
  bool UnencryptDocument();
  // The trailer's /ID array, made (two equal new identifiers) when it has none.
  TPDFArray* EnsureID();

  // ---- Information dictionary ----
  // The dictionary /Info names (made as a new object when there is none).
  TPDFDictionary* InfoDict();
  std::string ReadInfo(const std::string& key);
  void WriteInfo(const std::string& key, const std::string& value);
  void SetVersion(const std::string& value) { Version = value; }
  // Between the text of callers (Windows-1252) and PDF text strings (PDFDocEncoding, or
  // UTF-16BE after the bytes FE FF).
  static std::string DecodeText(const std::string& bytes);
  static std::string EncodeText(const std::string& text);

  // ---- Writer ----
  // Writes the whole document: header, every object of the store, one classic table,
  // trailer. False on any write failure or when the document cannot be written whole.
  bool Write(TPDFOutput& output);
  // Writes to a new file beside fileName and renames it over fileName once complete and, when
  // accept is given, accepted by it (it reads the written file back); on failure an existing
  // file of that name is untouched.
  using TAcceptWritten = std::function<bool(const platform::TByteSource& written)>;
  bool SaveToFile(const std::string& fileName, const TAcceptWritten& accept = {});
  // The written document; empty on failure.
  std::string SaveToString();
  std::string ObjectText(TPDFIndObj* object);
  // Names the swap file that encrypting uses for the text of long objects; false when the
  // file cannot be made.
  bool SetSwapFile(const std::string& fileName);
  // Deletes the swap file and forgets its name.
  void DropSwapFile();
  void SwapOut(TPDFIndObj* object);
  std::string ReadSwapRecord(int32_t objNum);
  bool AppendSwapRecord(int32_t objNum, const std::string& text);

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

  // Whether a file whose cross-reference data cannot be used is rebuilt from a scan of its
  // objects when it is loaded (set before loading); Repaired and Warnings tell what was done.
  bool AllowRepair = true;
  bool Repaired = false;
  std::vector<std::string> Warnings;

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
  // The key computation's state: ComputedKey, PermValue, the rights, Is128, PermIs16Bit,
  // the passwords and WorkO/WorkU.
  TSecurityWork Work;
  // Objects swapped out at most this long stay in memory as text; longer ones go to the swap file.
  static constexpr size_t kSwapInMemory = 1024;

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
  // True when the trailer's /Root names a dictionary the store can load (or, in an encrypted
  // file, an object kept in an object stream, which cannot be read before the key is known).
  bool RootLoadable();
  // Rebuilds the store and the trailer from a scan of the file; false when it holds no objects.
  bool Recover(const std::string& reason);
  const TPDFFileScan& Scan();
  // The text of an object whose entry does not lead to it, from where the scan found its head.
  bool FoundObjectText(const TPDFIndObj* object, std::string& text);
  void Warn(const std::string& warning);
  void BuildPageTree(bool withRemove);
  bool CheckLinearization();
  void ResetSecurity();
  TSmartPDFEncryption EncryptionRecord() const;
  void TakeEncryption(const TSmartPDFEncryption& encryption);
  using TPasswordCheck = bool (*)(TSecurityWork&, const TSmartPDFEncryption&, const std::string&);
  bool CheckPassword(const std::string& password, TPasswordCheck check);
  void PrepareWorkID();
  // Copies never-loaded bytes of the file to the output in pieces.
  bool CopyFileRange(TPDFOutput& output, int64_t offset, int64_t length, char& last);
  bool CanWriteWhole();
  bool HeaderMatches(TPDFIndObj* object);
  static size_t ValueStart(std::string_view text, const TPDFIndObj* object);
  TPDFObject* LoadObject(TPDFIndObj* object);
  TPDFObject* ParseObjectText(TPDFIndObj* object, std::string_view text, std::string* holder);
  TPDFObject* MakeStream(TPDFDictionary* dict, std::string_view text, size_t dictEnd, std::string* holder);
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

  std::unique_ptr<TPDFFileScan> FScan;  // made the first time the file needs one
  bool FLoadingRoot = false;

  std::unordered_map<const TPDFIndObj*, TObjStmCache> FObjStms;
  size_t FObjStmBytes = 0;
  int FLoadDepth = 0;
  int64_t FParsedCount = 0;
  // An object stream was asked for while no password had opened the document: the objects
  // read from it are read again once one does.
  bool FObjStmsLocked = false;
  void ReadLockedObjectsAgain();

  // The swap file while it is open, and where the last record read ended.
  platform::TFile FSwap;
  int64_t FSwapReadPosition = 0;
};
