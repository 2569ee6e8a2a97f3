// The window's library operations forwarded to the facade object.
#include "Library.h"

#include "uNorvex.h"

namespace {

// Forwards each operation the facade offers; while a facade operation is not there yet, the
// window gets the facade's own "nothing" answer (0 or empty text) for it, so the program still
// builds and runs with a facade that is partly done.
template <class Facade>
class TFacadeLibrary final : public TLibrary {
 public:
  int32_t DAOpenFile(const std::string& fileName, const std::string& password) override {
    if constexpr (requires(Facade& f) { f.DAOpenFile(fileName, password); })
      return norvex_.DAOpenFile(fileName, password);
    return 0;
  }
  int32_t DAGetPageCount(int32_t fileHandle) override {
    if constexpr (requires(Facade& f) { f.DAGetPageCount(fileHandle); }) return norvex_.DAGetPageCount(fileHandle);
    return 0;
  }
  int32_t DAFindPage(int32_t fileHandle, int32_t page) override {
    if constexpr (requires(Facade& f) { f.DAFindPage(fileHandle, page); }) return norvex_.DAFindPage(fileHandle, page);
    return 0;
  }
  double DAGetPageWidth(int32_t fileHandle, int32_t pageHandle) override {
    if constexpr (requires(Facade& f) { f.DAGetPageWidth(fileHandle, pageHandle); })
      return norvex_.DAGetPageWidth(fileHandle, pageHandle);
    return 0;
  }
  double DAGetPageHeight(int32_t fileHandle, int32_t pageHandle) override {
    if constexpr (requires(Facade& f) { f.DAGetPageHeight(fileHandle, pageHandle); })
      return norvex_.DAGetPageHeight(fileHandle, pageHandle);
    return 0;
  }
  int32_t DACloseFile(int32_t fileHandle) override {
    if constexpr (requires(Facade& f) { f.DACloseFile(fileHandle); }) return norvex_.DACloseFile(fileHandle);
    return 0;
  }

  int32_t LoadFromFile(const std::string& fileName) override {
    if constexpr (requires(Facade& f) { f.LoadFromFile(fileName); }) return norvex_.LoadFromFile(fileName);
    return 0;
  }
  int32_t Encrypted() override {
    if constexpr (requires(Facade& f) { f.Encrypted(); }) return norvex_.Encrypted();
    return 0;
  }
  int32_t EncryptionStrength() override {
    if constexpr (requires(Facade& f) { f.EncryptionStrength(); }) return norvex_.EncryptionStrength();
    return 0;
  }
  int32_t SetPassword(const std::string& password) override {
    if constexpr (requires(Facade& f) { f.SetPassword(password); }) return norvex_.SetPassword(password);
    return 0;
  }
  int32_t SecurityInfo(int32_t item) override {
    if constexpr (requires(Facade& f) { f.SecurityInfo(item); }) return norvex_.SecurityInfo(item);
    return 0;
  }
  std::string GetInformation(int32_t item) override {
    if constexpr (requires(Facade& f) { f.GetInformation(item); }) return norvex_.GetInformation(item);
    return {};
  }
  int32_t SetInformation(int32_t item, const std::string& value) override {
    if constexpr (requires(Facade& f) { f.SetInformation(item, value); }) return norvex_.SetInformation(item, value);
    return 0;
  }
  int32_t SaveToFile(const std::string& fileName) override {
    if constexpr (requires(Facade& f) { f.SaveToFile(fileName); }) return norvex_.SaveToFile(fileName);
    return 0;
  }

  int32_t Permissions(int32_t print, int32_t copy, int32_t modify, int32_t annotate, int32_t fillIn,
                      int32_t accessibility, int32_t assemble, int32_t highQualityPrint) override {
    if constexpr (requires(Facade& f) { f.Permissions(print, copy, modify, annotate, fillIn, accessibility, assemble,
                                                      highQualityPrint); })
      return norvex_.Permissions(print, copy, modify, annotate, fillIn, accessibility, assemble, highQualityPrint);
    return 0;
  }
  int32_t EncryptFile(const std::string& input, const std::string& output, const std::string& ownerPassword,
                      const std::string& userPassword, int32_t strength, int32_t permissions) override {
    if constexpr (requires(Facade& f) { f.EncryptFile(input, output, ownerPassword, userPassword, strength,
                                                      permissions); })
      return norvex_.EncryptFile(input, output, ownerPassword, userPassword, strength, permissions);
    return 0;
  }
  int32_t DecryptFile(const std::string& input, const std::string& output, const std::string& password) override {
    if constexpr (requires(Facade& f) { f.DecryptFile(input, output, password); })
      return norvex_.DecryptFile(input, output, password);
    return 0;
  }

  int32_t LastErrorCode() override {
    if constexpr (requires(Facade& f) { f.LastErrorCode(); }) return norvex_.LastErrorCode();
    return 0;
  }
  void SetProgress(std::function<void(int32_t)> progress) override {
    if constexpr (requires(Facade& f) { f.OnProgress = std::move(progress); }) norvex_.OnProgress = std::move(progress);
  }

 private:
  Facade norvex_;
};

}  // namespace

TLibraryFactory NorvexLibraryFactory() {
  return [] { return std::unique_ptr<TLibrary>(std::make_unique<TFacadeLibrary<TNorvex>>()); };
}
