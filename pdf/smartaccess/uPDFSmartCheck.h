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
  std::string Password;  // the user password of an encrypted copy (empty otherwise)
  bool Encrypted = false;
  int32_t PageCount = 0;
  // The objects written (number, generation), in the order they were written.
  std::vector<std::pair<int32_t, int32_t>> Objects;
};

TCopyVerdict CheckWrittenCopy(const platform::TByteSource& file, const TCopyExpectation& expected);
// A short text of what the verdict found wrong (empty for Sound).
const char* CopyVerdictText(TCopyVerdict verdict);
