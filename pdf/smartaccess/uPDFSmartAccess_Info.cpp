// TSmartPDFInfo: the encryption dictionary, the security handler and the catalog of a reader.
#include "uPDFSmartAccess.h"

#include "uPDFEncrypt.h"

TSmartPDFInfo::TSmartPDFInfo(TSmartPDFReader& reader) : Reader(reader), Version(reader.Version) {
  reader.OnNewID = [this](TSmartPDFReader&) { Crypt->FileID = FirstFileID(); };
  reader.OnObjectStreamLoaded = [this](int32_t objNum, TPDFStream* stream) {
    if (EncryptionState == kStandard) CryptObject(stream, objNum, 0);
  };
  ReadEncryption();
  Crypt = std::make_unique<TSmartPDFCrypt>(Encryption, FirstFileID(), EncryptionState);
  Crypt->RememberPassword(std::string());
  ReadCatalog();
}

TSmartPDFInfo::~TSmartPDFInfo() {
  // The reader may outlive this object; its events must not call into it afterwards.
  Reader.OnNewID = nullptr;
  Reader.OnObjectStreamLoaded = nullptr;
}

void TSmartPDFInfo::ReadEncryption() {
  EncryptDict = Reader.TrailerDictionary("Encrypt");
  if (!EncryptDict) {
    EncryptionState = kNotEncrypted;
    return;
  }
  // Only the standard handler at /V 1 or 2 and /R 2 or 3 fills the record.
  Encryption = ::ReadEncryption(EncryptDict);
  const TPDFNumeric* v = As<TPDFNumeric>(EncryptDict->GetValue("V"));
  EncryptionState = v && v->AsInteger() != 0 ? kStandard : kOtherMethod;
}

void TSmartPDFInfo::ReadCatalog() {
  Catalog = nullptr;
  Pages = nullptr;
  PagesRef = nullptr;
  AcroForm = nullptr;
  TreePageCount = 0;
  FieldCount = 0;
  if (!Reader.Trailer) return;
  TPDFStructure* pool = Reader.Pool.get();
  auto resolve = [&](TPDFObject* value) { return Reader.Resolve(value, pool); };
  RootRef = Reader.TrailerReference("Root");
  Catalog = Reader.TrailerDictionary("Root");
  InfoRef = Reader.TrailerReference("Info");
  Info = Reader.TrailerDictionary("Info");
  if (!Catalog) return;
  if (Catalog->GetTypeName() == "Catalog") {
    PagesRef = As<TPDFIndRef>(Catalog->GetValue("Pages"));
    if (PagesRef) Pages = As<TPDFDictionary>(Reader.FetchObject(PagesRef->ObjNum, pool));
    if (Pages && Pages->GetTypeName() == "Pages") {
      if (const TPDFNumeric* count = As<TPDFNumeric>(resolve(Pages->GetValue("Count"))))
        TreePageCount = count->AsInteger();
    }
  }
  AcroForm = As<TPDFDictionary>(resolve(Catalog->GetValue("AcroForm")));
  if (AcroForm) {
    if (const TPDFArray* fields = As<TPDFArray>(resolve(AcroForm->GetValue("Fields")))) FieldCount = fields->Count();
  }
}

bool TSmartPDFInfo::CheckPassword(const std::string& password) {
  return Crypt->CheckUserPassword(password) || Crypt->CheckOwnerPassword(password);
}

void TSmartPDFInfo::RememberPassword(const std::string& password) {
  Password = password;
  std::string oldKey = Crypt->FileKey;
  Crypt->RememberPassword(password);
  if (Crypt->FileKey != oldKey) {
    // Object streams decrypted with the old key hold garbage: load them again, and read the
    // catalog again, which may live in one of them.
    Reader.ClearObjectStreamCache();
    ReadCatalog();
  }
}

std::string TSmartPDFInfo::FirstFileID() const {
  const TPDFDictionary* trailer = Reader.Trailer;
  const TPDFArray* ids = trailer ? As<TPDFArray>(trailer->GetValue("ID")) : nullptr;
  const TPDFString* first = ids && ids->Count() >= 1 ? As<TPDFString>(ids->GetItem(0)) : nullptr;
  return first ? first->Value : std::string();
}

TPDFDictionary* TSmartPDFInfo::BuildEncryptDictionary(const std::string& ownerPassword, const std::string& userPassword,
                                                      int32_t objNum, uint8_t lowRights, uint8_t highRights,
                                                      bool is128) {
  Crypt->Prepare(ownerPassword, userPassword, is128, lowRights, highRights);
  TPDFDictionary* trailer = Reader.Trailer;
  if (!trailer) return nullptr;
  TPDFStructure* pool = trailer->Owner;
  trailer->SetValue("Encrypt", pool->NewIndRef(objNum, 0));
  TPDFDictionary* dictionary = pool->NewDictionary();
  dictionary->SetValue("Filter", pool->NewName("Standard"));
  dictionary->SetValue("V", pool->NewNumeric(is128 ? 2 : 1));
  dictionary->SetValue("R", pool->NewNumeric(is128 ? 3 : 2));
  if (is128) dictionary->SetValue("Length", pool->NewNumeric(128));
  dictionary->SetValue("O", pool->NewString(Crypt->WorkO, 1));
  dictionary->SetValue("U", pool->NewString(Crypt->WorkU, 1));
  dictionary->SetValue("P", pool->NewNumeric(Crypt->PermValue));
  EncryptDict = dictionary;
  return dictionary;
}

void TSmartPDFInfo::CryptObject(TPDFObject* object, int32_t objNum, int32_t genNum) {
  if (object) Crypt->CryptValue(Crypt->ObjectKey(objNum, genNum), object);
}

void TSmartPDFInfo::CryptObjectText(TSmartPDFObjectText& object, int32_t objNum, int32_t genNum) {
  if (!object.Value) return;
  const std::string key = Crypt->ObjectKey(objNum, genNum);
  Crypt->CryptValue(key, object.Value);
  if (object.IsStream && object.Data.Length > 0 && !key.empty())
    TRC4(key).Apply(reinterpret_cast<uint8_t*>(object.Text.data() + object.Data.Start), object.Data.Length);
}
