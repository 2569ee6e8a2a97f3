#pragma once
// The check a written copy passes before it may replace anything: read back through the
// direct-access reader, it must open (with the password it was written for), have a catalog,
// the page count of its source, and every object its writer put in it at the place its table
// gives, each starting as that object.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "uPlatformFile.h"

enum class TCopyVerdict : uint8_t {
  Sound,           // the copy reads back as written
  Unreadable,      // no header, or no readable cross-reference data
  Locked,          // the password it was written for does not open it
  NoCatalog,       // no catalog (also: the source had none)
  PageCountDiffers,
  ObjectMissing,   // an object written is not where the table says
};

struct TCopyExpectation {
  // How the copy is encrypted: 0 not, 1 the standard handler, 2 another way.
  uint8_t Encryption = 0;
  // Whether Password opens the copy; without it (or with another encryption) the copy's
  // catalog and pages cannot be read, and only its objects are looked at.
  bool PasswordKnown = true;
  std::string Password;
  int32_t PageCount = 0;
  // The objects written (number, generation), in the order they were written.
  std::vector<std::pair<int32_t, int32_t>> Objects;
};

TCopyVerdict CheckWrittenCopy(const platform::TByteSource& file, const TCopyExpectation& expected);
// A short text of what the verdict found wrong (empty for Sound).
const char* CopyVerdictText(TCopyVerdict verdict);

// The facts of a source that a copy of it must keep, read through the direct-access reader:
// its page count, or -1 when it has no catalog that can be read (a copy of such a source
// cannot be told whole), or -2 when the password does not open it (nothing to compare).
int32_t SourcePageCount(const platform::TByteSource& file, const std::string& password, bool allowRepair);
// The /Count of a file's page tree; 0 when its catalog names none.
class TSmartPDFReader;
int32_t PageCount(TSmartPDFReader& reader);
