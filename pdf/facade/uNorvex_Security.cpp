// TNorvex: the security state of the selected document: its kind and strength, passwords,
// the status of each permission, and encrypting or decrypting it in memory.
#include "uNorvex.h"
#include "uPDFDocument.h"
#include "uPDFSecurity.h"

namespace {

// Status codes of SecurityInfo.
enum : int32_t {
  kNotEncrypted = 0,
  kStandardEncryption = 1,
  kNoPasswordNeeded = 2,
  kPasswordNeeded = 3,
  kPrintingAllowed = 4,
  kNotAllowed = 5,
  kAllowed = 6,
  kKey40 = 7,
  kKey128 = 8,
  kUnsupported = 9,
  kLowQualityPrinting = 10,
  kNoAnswer = 11,
};

// Longest stored password the owner-password item checks.
constexpr size_t kMaxPasswordLength = 32;

}  // namespace

int32_t TNorvex::Encrypted() {
  try {
    return FDocuments.Selected().SecurityKind();
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::EncryptionStrength() {
  try {
    TPDFDocument& document = FDocuments.Selected();
    return document.SecurityKind() == 1 ? document.Strength : 0;
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::SetPassword(const std::string& password) {
  try {
    TPDFDocument& document = FDocuments.Selected();
    const int32_t kind = document.SecurityKind();
    if (kind == 0) return 3;
    if (kind != 1) return 4;
    int32_t result = 0;
    if (document.CheckUserPassword(password)) result = document.CheckOwnerPassword(password) ? 5 : 1;
    else if (document.CheckOwnerPassword(password)) result = 2;
    if (result != 0) document.RememberPassword(password);
    return result;
  } catch (...) {
    return 0;
  }
}

int32_t TNorvex::SecurityInfo(int32_t item) {
  FLastErrorCode = 0;
  try {
    TPDFDocument& document = FDocuments.Selected();
    const int32_t kind = document.SecurityKind();
    if (kind == 2) return kUnsupported;
    if (kind == 0) {
      switch (item) {
        case 0: return kNotEncrypted;
        case 1:
        case 2: return kNoPasswordNeeded;
        case 3: return kPrintingAllowed;
        default: return item >= 4 && item <= 9 ? kAllowed : kNoAnswer;
      }
    }
    const int32_t p = document.Work.PermValue;
    const bool is128 = document.Strength == 128;
    auto allowedIf = [](bool granted) { return granted ? kAllowed : kNotAllowed; };
    switch (item) {
      case 0: return kStandardEncryption;
      case 1: return document.CheckUserPassword(std::string()) ? kNoPasswordNeeded : kPasswordNeeded;
      case 2: {
        if (document.CheckOwnerPassword(std::string())) return kNoPasswordNeeded;
        std::string stored = document.StoredPassword.empty() ? std::string() : document.StoredPassword.substr(1);
        if (stored.size() > kMaxPasswordLength) stored.resize(kMaxPasswordLength);
        return document.CheckOwnerPassword(stored) ? kNoPasswordNeeded : kPasswordNeeded;
      }
      case 3:
        if (!(p & kPermPrint)) return kNotAllowed;
        return document.Strength == 40 || (p & kPermPrintHigh) ? kPrintingAllowed : kLowQualityPrinting;
      case 4: return allowedIf(p & kPermModify);
      case 5: return allowedIf(p & kPermCopy);
      case 6: return allowedIf(p & kPermAnnotate);
      case 7: return allowedIf(is128 && (p & kPermFillForms));
      case 8: return allowedIf(is128 && (p & kPermAccessibility));
      case 9: return allowedIf(is128 && (p & kPermAssemble));
      case 10: return document.Strength == 40 ? kKey40 : is128 ? kKey128 : kNoAnswer;
      default: return kNoAnswer;
    }
  } catch (...) {
    return kNoAnswer;
  }
}

int32_t TNorvex::Encrypt(const std::string& ownerPassword, const std::string& userPassword, int32_t strength,
                         int32_t permission) {
  FLastErrorCode = 0;
  try {
    TPDFDocument& document = FDocuments.Selected();
    if (document.SecurityKind() != 0) {
      SetError(103);
      return 0;
    }
    if (strength != 0 && strength != 1) {
      SetError(101);
      return 0;
    }
    uint8_t lowRights = 0, highRights = 0;
    if (!UnpackPermissions(permission, lowRights, highRights)) {
      SetError(102);
      return 0;
    }
    document.EncryptDocument(ownerPassword, userPassword, strength == 1, lowRights, highRights);
    // The document is read again from its written form, as a file would be.
    const std::string written = document.SaveToString();
    if (written.empty() || !document.LoadFromString(written)) {
      SetError(999);
      return 0;
    }
    return 1;
  } catch (...) {
    SetError(999);
    return 0;
  }
}

int32_t TNorvex::Unencrypt() {
  try {
    TPDFDocument& document = FDocuments.Selected();
    if (!document.UnencryptDocument()) return 0;
    SelectPage(SelectedPage());
    return 1;
  } catch (...) {
    return 0;
  }
}
