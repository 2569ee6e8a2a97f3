#pragma once
// TNorvex: the one object through which programs reach the PDF library.
//
// Conventions of every operation: integer results are 1 for success and 0 for failure
// (counts, identifiers and codes excepted); indexes are 1-based; text goes in and out as
// 8-bit strings; operations that keep the last error code set it to 0 on entry and to a
// code on failure. No exception leaves this object.
//
// The operations are grouped by family; each family's implementation lives in its own
// file (uNorvex_<family>.cpp).
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class TPDFDocument;
class TSmartPDFLink;
class TPDFIndRef;

// The in-memory documents of a TNorvex (owned, in the order they came), one of them selected.
// Made with one blank document, so it is never empty. Each document has an identifier: a
// non-zero value from a counter, never given to another document.
class TNorvexDocuments {
 public:
  TNorvexDocuments();
  ~TNorvexDocuments();
  TNorvexDocuments(const TNorvexDocuments&) = delete;
  TNorvexDocuments& operator=(const TNorvexDocuments&) = delete;

  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  TPDFDocument& Selected() const { return *FItems[FSelected].Document; }
  int32_t SelectedID() const { return FItems[FSelected].ID; }
  // Identifier of the document at a 1-based position; 0 outside the list.
  int32_t ID(int32_t index) const;
  // Appends the document and selects it; its identifier.
  int32_t Append(std::unique_ptr<TPDFDocument> document);
  // False (nothing changed) for an identifier not in the list.
  bool Select(int32_t id);
  // False for an identifier not in the list or the only document. A selected document hands
  // the selection to the one before it (the second one, when it is the first).
  bool Remove(int32_t id);
  // A blank one-page document with the library's producer, creator and dates.
  static std::unique_ptr<TPDFDocument> MakeBlank();

 private:
  struct TItem {
    int32_t ID = 0;
    std::unique_ptr<TPDFDocument> Document;
  };
  int32_t IndexOf(int32_t id) const;
  std::vector<TItem> FItems;
  size_t FSelected = 0;
  int32_t FNextID = 0;
};

class TNorvex {
 public:
  // Codes of a written file that is not put in place (EncryptFile, DecryptFile, SaveToFile).
  static constexpr int32_t kCodeCopyUnsound = 410;
  static constexpr int32_t kCodeSourceChanged = 411;

  TNorvex();
  ~TNorvex();
  TNorvex(const TNorvex&) = delete;
  TNorvex& operator=(const TNorvex&) = delete;

  // --- Frame: error code, version (uNorvex.cpp) ---
  int32_t LastErrorCode() const { return FLastErrorCode; }
  // Always "4.29"; sets the last error code to 0.
  std::string LibraryVersion();

  // --- Progress of long file operations (uNorvex.cpp) ---
  // Called with a percentage when it changes; nothing is reported without it.
  std::function<void(int32_t)> OnProgress;
  double ProgressScale = 0;
  int32_t ProgressOffset = 0;
  int32_t ProgressPart = 1;
  int32_t ProgressPartCount = 1;
  int32_t LastProgress = 0;
  // Reports round(step * scale + offset) div part count + (part - 1) * 100 div part count.
  void ReportProgress(double step);

  // --- Damaged files (uNorvex.cpp) ---
  // Whether a file whose cross-reference data cannot be used is rebuilt from a scan of its
  // objects (the default) or refused. Open, load and copy operations follow it.
  bool AllowRepair = true;
  // Whether the last open, load or copy had to repair its file, and what was wrong, in plain
  // words (also the reason a file was refused).
  bool Repaired() const { return FRepaired; }
  const std::vector<std::string>& Warnings() const { return FWarnings; }

  // --- Temporary folder (uNorvex.cpp) ---
  // The system's temporary folder, always ending with '/'.
  const std::string& TempPath() const { return FTempPath; }

  // --- Document security: packed permission value (uNorvex.cpp) ---
  // An argument grants its right only when it equals 1.
  int32_t Permissions(int32_t print, int32_t copy, int32_t modify, int32_t annotate, int32_t fillForms,
                      int32_t accessibility, int32_t assemble, int32_t highQualityPrint) const;

  // --- Direct access: open, close, page queries (uNorvex_DirectAccess.cpp) ---
  // File and page handles are non-zero values from a counter, never reused while the handle
  // they name is open, and looked up in the handle table before anything is touched.
  // None of these sets the last error code.
  int32_t DAOpenFile(const std::string& fileName, const std::string& password);
  int32_t DACloseFile(int32_t fileHandle);
  int32_t DAGetPageCount(int32_t fileHandle);
  int32_t DAFindPage(int32_t fileHandle, int32_t page);
  double DAGetPageWidth(int32_t fileHandle, int32_t pageRef);
  double DAGetPageHeight(int32_t fileHandle, int32_t pageRef);
  // Number of direct-access handles open.
  int32_t DAHandleCount() const { return static_cast<int32_t>(FDAHandles.size()); }

  // --- File encryption and decryption (uNorvex_FileCrypt.cpp) ---
  // Writes an encrypted copy of an unencrypted file (strength 0: 40-bit, 1: 128-bit; permissions
  // packed by Permissions). The output is replaced only when the copy is complete.
  // Codes: 401 input cannot be opened, 402 output cannot be replaced (or names the input),
  // 403 writing failed, 406 already encrypted, 407 bad strength, 408 bad permission value,
  // 409 not a PDF / no readable cross-reference data, 410 the copy did not read back whole (a
  // catalog, the source's page count and every object written; the source is damaged or was
  // read only in part), 411 the input changed while it was copied. Nothing is replaced then.
  int32_t EncryptFile(const std::string& input, const std::string& output, const std::string& ownerPassword,
                      const std::string& userPassword, int32_t strength, int32_t permissions);
  // Writes a decrypted copy given the user or the owner password. Codes as EncryptFile, and
  // 404 the password is neither, 405 the input is not encrypted with the standard handler.
  int32_t DecryptFile(const std::string& input, const std::string& output, const std::string& password);

  // --- Loading documents (uNorvex_Load.cpp) ---
  // Each load makes a new document; on success it is appended to the document list and
  // selected (1), on failure it is dropped and the list and selection stay as they were (0).
  // LoadFromFile gives 0 at once, leaving the last error code, when the file does not exist.
  int32_t LoadFromFile(const std::string& fileName);
  int32_t LoadFromStream(std::istream& stream);
  int32_t LoadFromString(const std::string& text);
  // 1 when the selected document was loaded from a linearized file; sets the code to 0.
  int32_t Linearized();
  // Loads every object of the selected document not loaded yet; always 1.
  int32_t CheckObjects();
  // The selected document itself, for the library's own callers.
  TPDFDocument& SelectedDocumentObject() const { return FDocuments.Selected(); }

  // --- Document list and page selection (uNorvex_Documents.cpp) ---
  // Documents are named by identifiers, checked against the list before use; none of these
  // sets the last error code except NewDocument (0).
  int32_t DocumentCount() const { return FDocuments.Count(); }
  int32_t DocumentID(int32_t index) const { return FDocuments.ID(index); }
  int32_t SelectedDocument() const { return FDocuments.SelectedID(); }
  int32_t SelectDocument(int32_t id);
  int32_t NewDocument();
  int32_t RemoveDocument(int32_t id);
  int32_t PageCount();
  // 1 when page n is now the selected page; a number outside the document keeps the selection.
  int32_t SelectPage(int32_t page);
  int32_t SelectedPage();
  // Size of the selected page times the document's measurement scale (points by default).
  double PageWidth();
  double PageHeight();

  // --- Document security (uNorvex_Security.cpp) ---
  // 0 not encrypted, 1 the standard handler (RC4 40 or 128 bits), 2 an encryption not handled.
  int32_t Encrypted();
  // Key length in bits of a standard-handler document; 0 otherwise.
  int32_t EncryptionStrength();
  // 0 wrong, 1 user password, 2 owner password, 5 both, 3 not encrypted, 4 encryption not handled.
  int32_t SetPassword(const std::string& password);
  // A status per item: 0 encryption, 1 user password, 2 owner password, 3 printing,
  // 4 modifying, 5 copying, 6 annotating, 7 filling forms, 8 accessibility, 9 assembly,
  // 10 key length. Sets the code to 0.
  int32_t SecurityInfo(int32_t item);
  // Encrypts the document in memory (strength 0: 40-bit, 1: 128-bit; permissions packed by
  // Permissions). Codes: 101 bad strength, 102 bad permission value, 103 already encrypted.
  int32_t Encrypt(const std::string& ownerPassword, const std::string& userPassword, int32_t strength,
                  int32_t permission);
  // Decrypts the document in memory once a password was accepted; 0 when nothing was done.
  int32_t Unencrypt();

  // --- Information and saving (uNorvex_Information.cpp) ---
  // Item 0 the PDF version; 1 Author, 2 Title, 3 Subject, 4 Keywords, 5 Creator, 6 Producer,
  // 7 CreationDate, 8 ModDate. Text is Windows-1252.
  std::string GetInformation(int32_t item);
  // Items 0 to 6 of an unencrypted document; 1 when the item now reads back as the value.
  // Codes: 201 encrypted document, 202 item not writable.
  int32_t SetInformation(int32_t item, const std::string& value);
  // Sets /ModDate and writes the document; the file is replaced only once the new one is
  // complete, so a failure leaves an existing file as it was.
  int32_t SaveToFile(const std::string& fileName);
  // The written document; empty (code 999) on failure.
  std::string SaveToString();
  int32_t SaveToStream(std::ostream& stream);
  // Names the swap file that Encrypt uses for the text of long objects.
  int32_t SetTempFile(const std::string& fileName);

 private:
  class TFileCopy;
  void SetError(int32_t code) { FLastErrorCode = code; }
  int32_t AddLoaded(std::unique_ptr<TPDFDocument> document, bool loaded);

  // One open direct-access handle and the page handles DAFindPage gave out for it.
  struct TDAHandle {
    TDAHandle();
    TDAHandle(TDAHandle&&) noexcept;
    TDAHandle& operator=(TDAHandle&&) noexcept;
    ~TDAHandle();
    int32_t Value = 0;
    std::unique_ptr<TSmartPDFLink> Link;
    std::unordered_map<int32_t, TPDFIndRef*> PageHandles;     // page handle -> page reference
    std::unordered_map<int64_t, int32_t> PageHandleOfObject;  // object and generation -> page handle
  };
  TDAHandle* FindDAHandle(int32_t value);
  int32_t NewHandleValue();
  bool HandleValueInUse(int32_t value) const;
  double DAPageDimension(int32_t fileHandle, int32_t pageRef, bool width);

  void TakeWarnings(bool repaired, const std::vector<std::string>& warnings) {
    FRepaired = repaired;
    FWarnings = warnings;
  }

  int32_t FLastErrorCode = 0;
  bool FRepaired = false;
  std::vector<std::string> FWarnings;
  std::string FTempPath;
  int32_t FNextHandle = 0;
  bool FHandlesWrapped = false;  // the counter went round once: new values are checked against live ones
  // Open direct-access handles in the order they were opened (owned here; the destructor
  // closes those still open).
  std::vector<TDAHandle> FDAHandles;
  // Declared last so that the documents are freed first.
  TNorvexDocuments FDocuments;
};
