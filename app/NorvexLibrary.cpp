// The window's library operations forwarded to the facade object.
#include "Library.h"

#include "uNorvex.h"

namespace {

// Forwards each operation to the one facade object the window owns.
class TFacadeLibrary final : public TLibrary {
 public:
  int32_t DAOpenFile(const std::string& fileName, const std::string& password) override {
    return norvex_.DAOpenFile(fileName, password);
  }
  int32_t DAGetPageCount(int32_t fileHandle) override {
    return norvex_.DAGetPageCount(fileHandle);
  }
  int32_t DAFindPage(int32_t fileHandle, int32_t page) override {
    return norvex_.DAFindPage(fileHandle, page);
  }
  double DAGetPageWidth(int32_t fileHandle, int32_t pageHandle) override {
    return norvex_.DAGetPageWidth(fileHandle, pageHandle);
  }
  double DAGetPageHeight(int32_t fileHandle, int32_t pageHandle) override {
    return norvex_.DAGetPageHeight(fileHandle, pageHandle);
  }
  int32_t DACloseFile(int32_t fileHandle) override {
    return norvex_.DACloseFile(fileHandle);
  }

  int32_t LoadFromFile(const std::string& fileName) override {
    return norvex_.LoadFromFile(fileName);
  }
  int32_t Encrypted() override {
    return norvex_.Encrypted();
  }
  int32_t EncryptionStrength() override {
    return norvex_.EncryptionStrength();
  }
  int32_t SetPassword(const std::string& password) override {
    return norvex_.SetPassword(password);
  }
  int32_t SecurityInfo(int32_t item) override {
    return norvex_.SecurityInfo(item);
  }
  std::string GetInformation(int32_t item) override {
    return norvex_.GetInformation(item);
  }
  int32_t SetInformation(int32_t item, const std::string& value) override {
    return norvex_.SetInformation(item, value);
  }
  bool Repaired() override { return norvex_.Repaired(); }
  std::vector<std::string> Warnings() override { return norvex_.Warnings(); }
  int32_t SaveToFile(const std::string& fileName) override {
    return norvex_.SaveToFile(fileName);
  }

  int32_t Permissions(int32_t print, int32_t copy, int32_t modify, int32_t annotate, int32_t fillIn,
                      int32_t accessibility, int32_t assemble, int32_t highQualityPrint) override {
    return norvex_.Permissions(print, copy, modify, annotate, fillIn, accessibility, assemble, highQualityPrint);
  }
  int32_t EncryptFile(const std::string& input, const std::string& output, const std::string& ownerPassword,
                      const std::string& userPassword, int32_t strength, int32_t permissions) override {
    return norvex_.EncryptFile(input, output, ownerPassword, userPassword, strength, permissions);
  }
  int32_t DecryptFile(const std::string& input, const std::string& output, const std::string& password) override {
    return norvex_.DecryptFile(input, output, password);
  }

  int32_t LastErrorCode() override {
    return norvex_.LastErrorCode();
  }
  void SetProgress(std::function<void(int32_t)> progress) override {
    norvex_.OnProgress = std::move(progress);
  }

 private:
  TNorvex norvex_;
};

}  // namespace

TLibraryFactory NorvexLibraryFactory() {
  return [] { return std::unique_ptr<TLibrary>(std::make_unique<TFacadeLibrary>()); };
}
