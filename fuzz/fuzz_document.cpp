// Loading a whole document from arbitrary bytes through the facade, then selecting every
// page (up to a bound) with its size and loading every object of the store: nothing may
// crash, hang or read outside a buffer. Seeded from tests/data.
#include <algorithm>
#include <cstdint>
#include <string>

#include "uNorvex.h"
#include "uPDFDocument.h"

namespace {

constexpr int32_t kMaxPages = 1000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  TNorvex norvex;
  if (!norvex.LoadFromString(std::string(reinterpret_cast<const char*>(bytes), size))) return 0;
  TPDFDocument& doc = norvex.SelectedDocumentObject();
  TPDFPageTree& tree = *doc.PageTree;
  const int32_t pages = std::min(tree.GetPageCount(), kMaxPages);
  for (int32_t page = 1; page <= pages; ++page) {
    tree.ReportPageObject();
    tree.SetCurrentPage(page);
    (void)tree.GetPageWidth();
    (void)tree.GetPageHeight();
  }
  norvex.CheckObjects();
  for (TPDFIndObj* object : doc.Objects) (void)doc.RawText(object);
  (void)norvex.Linearized();
  return 0;
}
