// The document reads /P through the security handler's one reader of /P.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "uPDFDocument.h"

TEST(DocumentSecurity, UnsignedPermissionValueReadsAsTheSameBits) {
  const struct {
    const char* file;
    int32_t p;
  } cases[] = {{"sec_rc4_40_denied.pdf", -64}, {"sec_rc4_40_unsignedp.pdf", -64}, {"sec_rc4_128_p16.pdf", 65532}};
  for (const auto& c : cases) {
    TPDFDocument doc;
    ASSERT_TRUE(doc.LoadFromString(testsupport::ReadFile(testsupport::DataPath(c.file)))) << c.file;
    EXPECT_EQ(doc.SecurityKind(), 1) << c.file;
    EXPECT_EQ(doc.FileP, c.p) << c.file;
  }
}
