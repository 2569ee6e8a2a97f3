// EncryptFile and DecryptFile: whole-file copies through the direct-access reader, one
// object at a time, written beside the output and put in place only when complete.
#include <filesystem>
#include <memory>

#include "uNorvex.h"
#include "uPDFCharClass.h"
#include "uPDFSecurity.h"
#include "uPDFSmartCheck.h"
#include "uPDFSmartAccess.h"
#include "uPDFSmartWriter.h"
#include "uPlatformFile.h"

namespace {

// Scratch pools are renewed once they hold more than this many values.
constexpr int32_t kScratchPoolLimit = 100;

// Keys of a cross-reference stream dictionary, or of a hybrid file's trailer, that mean
// nothing in a copy with one classic table.
const char* const kStaleTrailerKeys[] = {"Prev", "XRefStm", "W", "Index", "Filter", "DecodeParms", "Length", "DL"};

void CleanTrailer(TPDFDictionary* trailer, bool removeEncrypt) {
  for (const char* key : kStaleTrailerKeys) trailer->Remove(key);
  if (trailer->GetTypeName() == "XRef") trailer->Remove("Type");
  if (removeEncrypt) trailer->Remove("Encrypt");
}

enum class TCopyMode { Encrypt, Decrypt };

// The header version of a copy: the source's, and at least 1.4, which the copy's encryption
// and binary marker need.
std::string CopyVersion(const std::string& source) {
  const size_t dot = source.find('.');
  if (dot == std::string::npos || dot == 0) return "1.4";
  const int64_t major = pdfchars::DigitsValue(std::string_view(source).substr(0, dot), 0, 99);
  const int64_t minor = pdfchars::DigitsValue(std::string_view(source).substr(dot + 1), -1, 99);
  if (minor < 0 || major < 1 || (major == 1 && minor < 4)) return "1.4";
  return source;
}

}  // namespace

// One copy of a file: the open input, the reader and info object over it, and the output
// being written beside its target. Failures before the output is committed leave the
// target as it was.
class TNorvex::TFileCopy {
 public:
  TFileCopy(TNorvex& owner) : FOwner(owner) {}

  // Steps shared by both operations; returns 0 when they passed, else the result code.
  int32_t Open(const std::string& input, const std::string& output) {
    if (!FInput.Open(input, platform::TFileShare::ReadDenyWrite) || !FInput.Stamp(FSourceStamp)) return 401;
    // Naming the input as output would destroy the input; refuse before touching anything.
    if (platform::SameFile(input, output)) return 402;
    std::error_code ec;
    if (std::filesystem::is_directory(output, ec)) return 402;
    FOutput = std::make_unique<platform::TReplaceFile>(output);
    if (!FOutput->Begin()) return platform::FileExists(output) ? 402 : 403;
    FReader = std::make_unique<TSmartPDFReader>(FInput, FOwner.AllowRepair);
    if (FReader->Status != TSmartPDFReader::kOpened) return 409;
    FInfo = std::make_unique<TSmartPDFInfo>(*FReader);
    return 0;
  }

  TSmartPDFReader& Reader() { return *FReader; }
  TSmartPDFInfo& Info() { return *FInfo; }

  // Writes header and every object 1..N (crypted as the mode says); the trailer is the
  // reader's after PrepareTrailer. extra, when given, is written unencrypted as object N + 1.
  // plainNumber names an object that is copied without crypting (the source's own
  // encryption dictionary, which was never encrypted), or 0. Each object's bytes are moved
  // as they are; only its strings and stream data are replaced by their crypted form.
  bool Write(TCopyMode mode, TPDFDictionary* extra, int32_t plainNumber) {
    TByteSink sink(FOutput->File());
    TSmartPDFWriter writer(sink);
    writer.WriteHeader(CopyVersion(FReader->Version));
    const int32_t n = FReader->MaxObjectNumber();
    FOwner.ProgressScale = 1.0;
    FOwner.ProgressOffset = 0;
    auto scratch = std::make_unique<TPDFStructure>();
    TSmartPDFObjectText object;
    for (int32_t i = 1; i <= n; ++i) {
      FOwner.ReportProgress(static_cast<double>(static_cast<int64_t>(i) * 100 / n));
      const bool compressed = FReader->IsCompressed(i);
      const int32_t generation = compressed ? 0 : FReader->GetGeneration(i);
      if (FReader->ReadObject(i, scratch.get(), object)) {
        // Objects out of an object stream were decrypted with their stream.
        const bool crypt = !(mode == TCopyMode::Decrypt && compressed) && i != plainNumber;
        if (crypt) FInfo->CryptObjectText(object, i, generation);
        writer.WriteCopiedObject(i, generation, object, crypt);
        FExpected.Objects.emplace_back(i, generation);
      } else {
        writer.WriteObject(i, generation, std::string("null"));
      }
      if (!sink.Ok()) return false;
      FReader->RecycleBuffer(std::move(object.Text));
      if (scratch->Count() > kScratchPoolLimit) scratch = std::make_unique<TPDFStructure>();
    }
    FOwner.ReportProgress(100);
    scratch.reset();
    if (extra) writer.WriteObject(n + 1, 0, extra);
    writer.WriteXRefAndTrailer(FReader->Trailer, 0, false);
    return sink.Flush();
  }

  // The checks a copy passes before it replaces anything: the source still is what was read
  // (another program may write a file this one only reads), and the copy reads back whole.
  // Returns 0, or the code of the failure.
  int32_t Verify(bool encrypted, const std::string& password) {
    platform::TFileStamp now;
    if (!FInput.Stamp(now) || !(now == FSourceStamp)) return TNorvex::kCodeSourceChanged;
    // A source without a catalog (damaged, or read only in part) gives no copy that can be
    // told whole.
    if (!FInfo->HasCatalog()) {
      FVerdict = TCopyVerdict::NoCatalog;
      return TNorvex::kCodeCopyUnsound;
    }
    FExpected.Encryption = encrypted ? TSmartPDFInfo::kStandard : TSmartPDFInfo::kNotEncrypted;
    FExpected.Password = password;
    FExpected.PageCount = ::PageCount(*FReader);
    FVerdict = CheckWrittenCopy(FOutput->File(), FExpected);
    return FVerdict == TCopyVerdict::Sound ? 0 : TNorvex::kCodeCopyUnsound;
  }

  bool Commit() { return FOutput->Commit(); }

  // What the reader had to repair, handed to the facade (also when the copy failed).
  void ReportWarnings() {
    if (FReader) FOwner.TakeWarnings(FReader->Repaired, FReader->Warnings);
  }
  ~TFileCopy() { ReportWarnings(); }

  int32_t EncryptDictionaryNumber() const {
    auto* ref = FReader->Trailer ? As<TPDFIndRef>(FReader->Trailer->GetValue("Encrypt")) : nullptr;
    return ref ? ref->ObjNum : 0;
  }

 private:
  TNorvex& FOwner;
  platform::TFile FInput;
  std::unique_ptr<platform::TReplaceFile> FOutput;
  std::unique_ptr<TSmartPDFReader> FReader;
  std::unique_ptr<TSmartPDFInfo> FInfo;
  platform::TFileStamp FSourceStamp;
  TCopyExpectation FExpected;
  TCopyVerdict FVerdict = TCopyVerdict::Sound;
};

int32_t TNorvex::EncryptFile(const std::string& input, const std::string& output, const std::string& ownerPassword,
                             const std::string& userPassword, int32_t strength, int32_t permissions) {
  SetError(0);
  uint8_t low = 0, high = 0;
  if (strength != 0 && strength != 1) return SetError(407), 0;
  if (!UnpackPermissions(permissions, low, high)) return SetError(408), 0;
  TakeWarnings(false, {});
  try {
    TFileCopy copy(*this);
    if (int32_t code = copy.Open(input, output)) return SetError(code), 0;
    if (copy.Info().EncryptionState != TSmartPDFInfo::kNotEncrypted) return SetError(406), 0;
    TSmartPDFReader& reader = copy.Reader();
    reader.PrepareTrailer();
    CleanTrailer(reader.Trailer, false);
    const int32_t e = reader.MaxObjectNumber() + 1;
    TPDFDictionary* dictionary =
        copy.Info().BuildEncryptDictionary(ownerPassword, userPassword, e, low, high, strength == 1);
    reader.Trailer->SetValue("Size", reader.Trailer->Owner->NewNumeric(e + 1));
    if (!copy.Write(TCopyMode::Encrypt, dictionary, 0)) return SetError(403), 0;
    if (int32_t code = copy.Verify(true, userPassword)) return SetError(code), 0;
    if (!copy.Commit()) return SetError(403), 0;
    return 1;
  } catch (...) {
    return SetError(403), 0;
  }
}

int32_t TNorvex::DecryptFile(const std::string& input, const std::string& output, const std::string& password) {
  SetError(0);
  TakeWarnings(false, {});
  try {
    TFileCopy copy(*this);
    if (int32_t code = copy.Open(input, output)) return SetError(code), 0;
    TSmartPDFInfo& info = copy.Info();
    if (info.EncryptionState != TSmartPDFInfo::kStandard) return SetError(405), 0;
    if (!info.CheckPassword(password)) return SetError(404), 0;
    info.RememberPassword(password);
    TSmartPDFReader& reader = copy.Reader();
    const int32_t encryptNumber = copy.EncryptDictionaryNumber();
    reader.PrepareTrailer();
    CleanTrailer(reader.Trailer, true);
    if (!copy.Write(TCopyMode::Decrypt, nullptr, encryptNumber)) return SetError(403), 0;
    if (int32_t code = copy.Verify(false, std::string())) return SetError(code), 0;
    if (!copy.Commit()) return SetError(403), 0;
    return 1;
  } catch (...) {
    return SetError(403), 0;
  }
}
