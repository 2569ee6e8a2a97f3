// Loading a whole document from arbitrary bytes through the facade, then selecting every
// page (up to a bound) with its size, loading every object of the store, reading its
// security state and information, and writing it: nothing may crash, hang or read outside a
// buffer. Seeded from tests/data.
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
  // The security state, the information fields and a written copy, which must load again.
  (void)norvex.SetPassword("user");
  for (int32_t item = 0; item <= 11; ++item) (void)norvex.SecurityInfo(item);
  for (int32_t item = 0; item <= 8; ++item) (void)norvex.GetInformation(item);
  (void)norvex.SetInformation(2, "Title");
  const std::string written = norvex.SaveToString();
  if (!written.empty()) (void)norvex.LoadFromString(written);
  return 0;
}
