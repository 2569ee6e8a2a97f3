// Opening arbitrary bytes with the direct-access reader (as a file held in memory), with an
// empty and with a non-empty password, then fetching every object and the size of every page
// (up to a bound): nothing may crash, hang or read outside a buffer. Seeded from tests/data.
#include <algorithm>
#include <cstdint>
#include <string>

#include "uPDFSmartAccess.h"

namespace {

constexpr int32_t kMaxPages = 1000;

void Exercise(const std::string& bytes, const std::string& password) {
  TSmartPDFLink link(bytes.data(), bytes.size(), password);
  if (!link.Opened) return;
  TSmartPDFReader& reader = *link.Reader;
  TPDFStructure pool;
  for (int32_t n = 1; n <= reader.MaxObjectNumber(); ++n) {
    (void)reader.FetchObject(n, &pool);
    (void)reader.GetGeneration(n);
    // Fetches are made into a pool that is renewed, as a copy of the file would do.
    if (pool.Count() > 100) pool.Clear();
  }
  TSmartPDFDocument& doc = *link.Document;
  const int32_t pages = std::min(doc.CountPages(), kMaxPages);
  for (int32_t page = 1; page <= pages; ++page) {
    TPDFIndRef* ref = doc.FindPageFrom(page);
    if (!ref) continue;
    (void)doc.MediaWidth(ref);
    (void)doc.MediaHeight(ref);
  }
  reader.PrepareTrailer();
  (void)link.InfoObject->FirstFileID();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  Exercise(bytes, "");
  Exercise(bytes, "user");
  return 0;
}
