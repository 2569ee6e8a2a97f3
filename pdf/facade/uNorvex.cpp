#include "uNorvex.h"

#include <cmath>

#include "uPDFSecurity.h"
#include "uPDFSmartAccess.h"
#include "uPlatform.h"

TNorvex::TNorvex() {
  ProgressPart = 1;
  ProgressPartCount = 1;
  FLastErrorCode = 0;
  FTempPath = platform::TempFolder();
}

// Members go in reverse order of declaration: first the documents, then every direct-access
// handle still open, each closing its file.
TNorvex::~TNorvex() = default;

std::string TNorvex::LibraryVersion() {
  FLastErrorCode = 0;
  return "4.29";
}

void TNorvex::ReportProgress(double step) {
  if (!OnProgress) return;
  const int32_t parts = ProgressPartCount > 0 ? ProgressPartCount : 1;
  // Nearest integer with halves to even, then integer division truncating toward zero.
  const double scaled = std::nearbyint(step * ProgressScale + ProgressOffset);
  const int32_t p = static_cast<int32_t>(scaled) / parts + (ProgressPart - 1) * 100 / parts;
  if (p != LastProgress) {
    LastProgress = p;
    OnProgress(p);
  }
}

int32_t TNorvex::Permissions(int32_t print, int32_t copy, int32_t modify, int32_t annotate, int32_t fillForms,
                             int32_t accessibility, int32_t assemble, int32_t highQualityPrint) const {
  return ::Permissions(print, copy, modify, annotate, fillForms, accessibility, assemble, highQualityPrint);
}
