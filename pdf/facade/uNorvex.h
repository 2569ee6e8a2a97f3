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
#include <string>

class TNorvex {
 public:
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

  // --- Temporary folder (uNorvex.cpp) ---
  // The system's temporary folder, always ending with '/'.
  const std::string& TempPath() const { return FTempPath; }

  // --- Document security: packed permission value (uNorvex.cpp) ---
  // An argument grants its right only when it equals 1.
  int32_t Permissions(int32_t print, int32_t copy, int32_t modify, int32_t annotate, int32_t fillForms,
                      int32_t accessibility, int32_t assemble, int32_t highQualityPrint) const;

 private:
  void SetError(int32_t code) { FLastErrorCode = code; }

  int32_t FLastErrorCode = 0;
  std::string FTempPath;
};
