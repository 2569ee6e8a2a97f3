// TPDFDocument: the security state. The trailer's /Encrypt is evaluated into the security
// kind; passwords are checked with the security handler's key computation run on this
// document's own work state; objects are decrypted on demand and encrypted again for writing;
// the whole store is encrypted or decrypted in one pass.
#include <unordered_set>

#include "uPDFDigest.h"
#include "uPDFDocument.h"
#include "uPDFExtra.h"
#include "uPDFSecurity.h"

namespace {

// Containers met while walking the values an object refers to, at most: a bound for hostile
// trees (each referenced object is decrypted once, so a loop of references ends anyway).
constexpr size_t kMaxTreeWalk = size_t{1} << 24;

}  // namespace

void TPDFDocument::ResetSecurity() {
  HasEncrypt = false;
  SecurityEvaluated = false;
  TakeEncryption(TSmartPDFEncryption());
  StoredPassword.clear();
  FileKey.clear();
  Work = TSecurityWork();
}

// The fields of a supported encryption dictionary (all 0 or empty for any other).
void TPDFDocument::TakeEncryption(const TSmartPDFEncryption& encryption) {
  Strength = encryption.Length;
  EncryptR = encryption.R;
  EncryptV = encryption.V;
  FileO = encryption.O;
  FileU = encryption.U;
  FileP = encryption.P;
}

void TPDFDocument::EvaluateSecurity() {
  SecurityEvaluated = true;
  HasEncrypt = Trailer->IndexOf("Encrypt") >= 0;
  // The one reader of encryption dictionaries: a /V 2 dictionary without /Length has the
  // format's default key length of 40 bits.
  TakeEncryption(ReadEncryption(As<TPDFDictionary>(Trailer->GetValue("Encrypt", true))));
}

int32_t TPDFDocument::SecurityKind() {
  if (!SecurityEvaluated) EvaluateSecurity();
  if (!HasEncrypt) return 0;
  return EncryptV != 0 ? 1 : 2;
}

TSmartPDFEncryption TPDFDocument::EncryptionRecord() const {
  TSmartPDFEncryption encryption;
  encryption.Length = Strength;
  encryption.R = EncryptR;
  encryption.V = EncryptV;
  encryption.O = FileO;
  encryption.U = FileU;
  encryption.P = FileP;
  return encryption;
}

// The key computation takes the first string of the trailer's /ID (made when missing).
void TPDFDocument::PrepareWorkID() {
  Work.FileID.clear();
  TPDFArray* id = EnsureID();
  if (const TPDFString* first = id && id->Count() > 0 ? As<TPDFString>(id->GetItem(0)) : nullptr)
    Work.FileID = first->Value;
}

void TPDFDocument::ComputeKeys() {
  PrepareWorkID();
  ::ComputeKeys(Work);
}

// A password check of the security handler on this document: a document that is not
// encrypted takes the empty password only, one encrypted in another way takes none.
bool TPDFDocument::CheckPassword(const std::string& password, TPasswordCheck check) {
  const int32_t kind = SecurityKind();
  if (kind == 0) return password.empty();
  if (kind != 1) return false;
  PrepareWorkID();
  return check(Work, EncryptionRecord(), password);
}

bool TPDFDocument::CheckUserPassword(const std::string& password) { return CheckPassword(password, ::CheckUserPassword); }

bool TPDFDocument::CheckOwnerPassword(const std::string& password) { return CheckPassword(password, ::CheckOwnerPassword); }

void TPDFDocument::RememberPassword(const std::string& password) {
  if (CheckUserPassword(password) || CheckOwnerPassword(password)) {
    const bool opened = StoredPassword.empty();
    StoredPassword = "!" + password;
    FileKey = Work.ComputedKey;
    if (opened && FObjStmsLocked) ReadLockedObjectsAgain();
  } else {
    StoredPassword.clear();
  }
}

// Objects read from object streams before a password opened the document read as null;
// they are read again now, and the page tree is built again on them.
void TPDFDocument::ReadLockedObjectsAgain() {
  FObjStmsLocked = false;
  for (TPDFIndObj* object : Objects) {
    if (!object->Compressed || !object->Loaded) continue;
    object->Loaded = false;
    object->Value = nullptr;
  }
  FObjStms.clear();
  FObjStmBytes = 0;
  if (PageTree && !Objects.empty()) BuildPageTree(true);
}

std::string TPDFDocument::ObjectKey(int32_t objNum, int32_t genNum) const { return ::ObjectKey(FileKey, objNum, genNum); }

void TPDFDocument::CryptValue(const std::string& key, TPDFObject* value) { ::CryptValue(key, value); }

void TPDFDocument::DecryptObject(TPDFIndObj* object) {
  TPDFObject* value = GetLoadedValue(object);
  // Without an accepted password there is no key: the object stays as stored, and is not
  // marked, so that it is decrypted once a password is given.
  if (!value || object->Decrypted || StoredPassword.empty() || FileKey.empty()) return;
  object->Decrypted = true;
  CryptValue(ObjectKey(object->ObjNum, object->GenNum), value);
}

void TPDFDocument::ReencryptObject(TPDFIndObj* object) {
  if (!object || !object->Loaded || !object->Decrypted) return;
  if (object->Value) CryptValue(ObjectKey(object->ObjNum, object->GenNum), object->Value);
  object->Decrypted = false;
}

void TPDFDocument::DecryptTree(int32_t objNum, int32_t genNum) {
  // Values still to walk, on an explicit stack so that deep trees cannot exhaust the call
  // stack; each referenced object is decrypted (and walked) once.
  std::vector<TPDFObject*> values;
  auto visit = [&](int32_t n, int32_t g) {
    TPDFIndObj* object = FindObject(n, g);
    if (!object || object->Decrypted) return;
    DecryptObject(object);
    // Without a key nothing is marked decrypted, and nothing is walked.
    if (object->Decrypted) values.push_back(object->Value);
  };
  visit(objNum, genNum);
  for (size_t walked = 0; !values.empty() && walked < kMaxTreeWalk; ++walked) {
    TPDFObject* value = values.back();
    values.pop_back();
    if (const TPDFIndRef* ref = As<TPDFIndRef>(value)) {
      visit(ref->ObjNum, ref->GenNum);
    } else if (const TPDFDictionary* dict = As<TPDFDictionary>(value)) {
      for (int32_t i = 0; i < dict->Count(); ++i) values.push_back(dict->GetEntry(i).Value);
    } else if (const TPDFArray* array = As<TPDFArray>(value)) {
      for (int32_t i = 0; i < array->Count(); ++i) values.push_back(array->GetItem(i));
    }
    // Streams are not walked: their dictionaries name filters and lengths, not content.
  }
}

void TPDFDocument::CryptAllObjects(bool swapOut, bool encrypting) {
  const bool swapping = swapOut && !TempFileName.empty();
  if (swapping) {
    FSwap.Close();
    platform::DeleteFile(TempFileName);
    FSwapReadPosition = 0;
    if (!FSwap.Create(TempFileName)) FSwap.Close();
  }
  for (TPDFIndObj* object : Objects) {
    try {
      TPDFObject* value = GetLoadedValue(object);
      if (value && (encrypting || !object->Decrypted)) CryptValue(ObjectKey(object->ObjNum, object->GenNum), value);
      // Encrypted now: every object is as it will be stored (objects read from object
      // streams included, which were plain).
      if (encrypting) object->Decrypted = false;
      if (swapping) SwapOut(object);
    } catch (...) {
      // The object is skipped; the pass goes on.
    }
  }
}

bool TPDFDocument::EncryptDocument(const std::string& owner, const std::string& user, bool is128, uint8_t lowRights,
                                   uint8_t highRights) {
  Work.OwnerPassword = owner;
  Work.UserPassword = user;
  Work.Is128 = is128;
  Work.LowRights = lowRights;
  Work.HighRights = highRights;
  Work.PermIs16Bit = false;
  Work.WorkO.clear();
  Work.WorkU.clear();
  ComputeKeys();
  FileKey = Work.ComputedKey;
  CryptAllObjects(!TempFileName.empty(), true);

  Trailer->Remove("Encrypt");
  TPDFStructure& s = *Structure;
  TPDFDictionary* encrypt = s.NewDictionary();
  encrypt->SetValue("Filter", s.KeyName("Standard"));
  encrypt->SetValue("V", s.NewNumeric(is128 ? 2 : 1));
  encrypt->SetValue("R", s.NewNumeric(is128 ? 3 : 2));
  if (is128) encrypt->SetValue("Length", s.NewNumeric(128));
  encrypt->SetValue("O", s.NewString(Work.WorkO, 1));
  encrypt->SetValue("U", s.NewString(Work.WorkU, 1));
  encrypt->SetValue("P", s.NewNumeric(Work.PermValue));
  Trailer->SetValue("Encrypt", AddObjectRef(encrypt));
  SecurityEvaluated = false;
  return true;
}

bool TPDFDocument::UnencryptDocument() {
  if (SecurityKind() != 1 || StoredPassword.empty()) return false;
  CryptAllObjects(false, false);
  const TPDFIndRef* ref = As<TPDFIndRef>(Trailer->GetValue("Encrypt"));
  if (ref) {
    const int32_t objNum = ref->ObjNum, genNum = ref->GenNum;
    TPDFIndObj* object = FindObject(objNum, genNum);
    const bool isDictionary = object && As<TPDFDictionary>(GetLoadedValue(object));
    Trailer->Remove("Encrypt");
    if (isDictionary) RemoveObject(objNum, genNum);
  } else {
    Trailer->Remove("Encrypt");
  }
  SecurityEvaluated = false;
  return true;
}

TPDFArray* TPDFDocument::EnsureID() {
  if (TPDFArray* id = As<TPDFArray>(Trailer->GetValue("ID"))) return id;
  Trailer->Remove("ID");
  const std::string digest = MD5Digest(PdfDateNow());
  TPDFArray* id = Structure->NewArrayOf({Structure->NewString(digest, 1), Structure->NewString(digest, 1)});
  Trailer->SetValue("ID", id);
  return id;
}
