// Parses arbitrary bytes, prints the value, and reads the print back: the second reading must
// print the same text again (printing is the way values travel between structures).
#include <cstddef>
#include <cstdint>
#include <string>

#include "uPDFStructure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TPDFStructure first;
  TPDFObject* value = first.Parse(reinterpret_cast<const char*>(data), size);
  if (!value) return 0;
  const std::string printed = value->ToText();

  TPDFStructure second;
  TPDFObject* again = second.Parse(printed);
  if (!again || again->Kind() != value->Kind() || again->ToText() != printed) __builtin_trap();

  // The container operations that walk values must cope with whatever was read.
  value->Renumber(1);
  if (TPDFDictionary* dictionary = As<TPDFDictionary>(value)) {
    dictionary->GetValue("Type", true);
    TPDFDictionary* copy = second.NewDictionary();
    copy->Assign(dictionary);
  }
  value->Release();
  return 0;
}
