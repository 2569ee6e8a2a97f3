// TPDFDocument: the security state as far as loading needs it. The trailer's /Encrypt is
// evaluated into the security kind; password checks and decryption of objects are not done
// here yet, so an encrypted document loads with its objects as stored.
#include "uPDFDigest.h"
#include "uPDFDocument.h"
#include "uPDFExtra.h"
#include "uPDFSecurity.h"

void TPDFDocument::ResetSecurity() {
  HasEncrypt = false;
  SecurityEvaluated = false;
  Strength = 0;
  EncryptR = 0;
  EncryptV = 0;
  FileO.clear();
  FileU.clear();
  FileP = 0;
  StoredPassword.clear();
}

void TPDFDocument::EvaluateSecurity() {
  Strength = 0;
  EncryptR = 0;
  EncryptV = 0;
  FileO.clear();
  FileU.clear();
  FileP = 0;
  SecurityEvaluated = true;
  HasEncrypt = Trailer->IndexOf("Encrypt") >= 0;
  TPDFDictionary* encrypt = As<TPDFDictionary>(Trailer->GetValue("Encrypt", true));
  if (!encrypt) return;
  const TPDFName* filter = As<TPDFName>(encrypt->GetValue("Filter", true));
  const int32_t v = encrypt->GetInteger("V", 0);
  const int32_t r = encrypt->GetInteger("R", 0);
  if (!filter || filter->Value != "Standard" || (v != 1 && v != 2) || (r != 2 && r != 3)) return;
  EncryptR = r;
  EncryptV = v;
  FileO = encrypt->GetText("O");
  FileU = encrypt->GetText("U");
  FileP = ReadPermissionValue(encrypt->GetValue("P", true));
  Strength = v == 2 ? encrypt->GetInteger("Length", 0) : 40;
}

int32_t TPDFDocument::SecurityKind() {
  if (!SecurityEvaluated) EvaluateSecurity();
  if (!HasEncrypt) return 0;
  return EncryptV != 0 ? 1 : 2;
}

void TPDFDocument::RememberPassword(const std::string& password) {
  StoredPassword.clear();
  if (SecurityKind() == 0 && password.empty()) StoredPassword.push_back('!');
}

void TPDFDocument::DecryptObject(TPDFIndObj* object) { GetLoadedValue(object); }

void TPDFDocument::DecryptTree(int32_t objNum, int32_t genNum) { GetLoadedValue(FindObject(objNum, genNum)); }

TPDFArray* TPDFDocument::EnsureID() {
  if (TPDFArray* id = As<TPDFArray>(Trailer->GetValue("ID"))) return id;
  Trailer->Remove("ID");
  const std::string digest = MD5Digest(PdfDateNow());
  TPDFArray* id = Structure->NewArrayOf({Structure->NewString(digest, 1), Structure->NewString(digest, 1)});
  Trailer->SetValue("ID", id);
  return id;
}
