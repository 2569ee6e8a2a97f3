#pragma once
// The library operations the window uses, behind one small interface: the program forwards them
// to the facade object, and tests answer them from a script. Results, names and argument orders
// are the facade's: 1/0 results, byte-string texts, handles as 32-bit values, sizes in points.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TLibrary {
 public:
  virtual ~TLibrary() = default;

  virtual int32_t DAOpenFile(const std::string& fileName, const std::string& password) = 0;
  virtual int32_t DAGetPageCount(int32_t fileHandle) = 0;
  virtual int32_t DAFindPage(int32_t fileHandle, int32_t page) = 0;
  virtual double DAGetPageWidth(int32_t fileHandle, int32_t pageHandle) = 0;
  virtual double DAGetPageHeight(int32_t fileHandle, int32_t pageHandle) = 0;
  virtual int32_t DACloseFile(int32_t fileHandle) = 0;

  virtual int32_t LoadFromFile(const std::string& fileName) = 0;
  virtual int32_t Encrypted() = 0;
  virtual int32_t EncryptionStrength() = 0;
  virtual int32_t SetPassword(const std::string& password) = 0;
  virtual int32_t SecurityInfo(int32_t item) = 0;
  virtual std::string GetInformation(int32_t item) = 0;
  virtual int32_t SetInformation(int32_t item, const std::string& value) = 0;
  virtual int32_t SaveToFile(const std::string& fileName) = 0;

  virtual int32_t Permissions(int32_t print, int32_t copy, int32_t modify, int32_t annotate, int32_t fillIn,
                              int32_t accessibility, int32_t assemble, int32_t highQualityPrint) = 0;
  virtual int32_t EncryptFile(const std::string& input, const std::string& output, const std::string& ownerPassword,
                              const std::string& userPassword, int32_t strength, int32_t permissions) = 0;
  virtual int32_t DecryptFile(const std::string& input, const std::string& output, const std::string& password) = 0;

  virtual int32_t LastErrorCode() = 0;
  // Whether the last open, load or copy had to repair its file, and what was wrong.
  virtual bool Repaired() { return false; }
  virtual std::vector<std::string> Warnings() { return {}; }
  // Called with a percentage during the long file operations; an empty function stops the reports.
  virtual void SetProgress(std::function<void(int32_t)> progress) = 0;
};

// Makes the library object the window creates on its first Open.
using TLibraryFactory = std::function<std::unique_ptr<TLibrary>()>;

// The library the program uses: the facade object.
TLibraryFactory NorvexLibraryFactory();
