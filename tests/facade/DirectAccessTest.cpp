#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "../smartaccess/TinyPdf.h"
#include "TestSupport.h"
#include "uNorvex.h"

using testsupport::DataPath;

namespace {

struct TSize {
  double Width, Height;
};

// Page sizes as pdfinfo reports them (media boxes, inherited and normalised).
std::vector<TSize> PeerPageSizes(const std::string& file, int pages) {
  std::string out;
  testsupport::Run("pdfinfo -opw owner -f 1 -l " + std::to_string(pages) + " -box " + testsupport::Quote(file) +
                       " 2>/dev/null",
                   &out);
  std::vector<TSize> sizes;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    double x1, y1, x2, y2;
    int page;
    if (std::sscanf(line.c_str(), "Page %d MediaBox: %lf %lf %lf %lf", &page, &x1, &y1, &x2, &y2) == 5)
      sizes.push_back({x2 - x1, y2 - y1});
  }
  return sizes;
}

int PeerPageCount(const std::string& file) {
  std::string out;
  testsupport::Run("qpdf --password=owner --show-npages " + testsupport::Quote(file) + " 2>/dev/null", &out);
  return std::atoi(out.c_str());
}

std::string TempCopy(const std::string& tag, const std::string& bytes) {
  std::string path = testsupport::TempDir(tag) + "/file.pdf";
  testsupport::WriteFile(path, bytes);
  return path;
}

}  // namespace

// Every fixture, every kind of password: which open, and what they then report agrees
// with the peers.
TEST(DirectAccess, FixturesOpenWithTheRightPasswordsAndAgreeWithPeers) {
  REQUIRE_TOOL("qpdf");
  REQUIRE_TOOL("pdfinfo");
  struct {
    const char* file;
    bool empty, user, owner, wrong;
  } cases[] = {
      {"da_classic.pdf", true, true, true, true},
      {"da_objstm.pdf", true, true, true, true},
      {"da_update.pdf", true, true, true, true},
      {"da_hybrid.pdf", true, true, true, true},
      {"da_wide.pdf", true, true, true, true},
      {"da_linearized.pdf", true, true, true, true},
      {"da_tree.pdf", true, true, true, true},
      {"sample.pdf", true, true, true, true},
      {"da_rc4_40_empty.pdf", true, false, true, false},
      {"da_rc4_40_user.pdf", false, true, true, false},
      {"da_rc4_128_empty.pdf", true, false, true, false},
      {"da_rc4_128_user.pdf", false, true, true, false},
      {"da_rc4_128_objstm.pdf", false, true, true, false},
  };
  TNorvex norvex;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string file = DataPath(c.file);
    const std::pair<const char*, bool> passwords[] = {
        {"", c.empty}, {"user", c.user}, {"owner", c.owner}, {"wrong", c.wrong}};
    for (const auto& [password, opens] : passwords) {
      int32_t handle = norvex.DAOpenFile(file, password);
      EXPECT_EQ(handle != 0, opens) << "password \"" << password << "\"";
      if (handle) {
        EXPECT_EQ(norvex.DACloseFile(handle), 1);
      }
    }

    int32_t handle = norvex.DAOpenFile(file, "owner");
    ASSERT_NE(handle, 0);
    const int pages = PeerPageCount(file);
    ASSERT_GT(pages, 0);
    EXPECT_EQ(norvex.DAGetPageCount(handle), pages);
    std::vector<TSize> sizes = PeerPageSizes(file, pages);
    ASSERT_EQ(static_cast<int>(sizes.size()), pages);
    for (int page = 1; page <= pages; ++page) {
      int32_t pageRef = norvex.DAFindPage(handle, page);
      ASSERT_NE(pageRef, 0) << "page " << page;
      EXPECT_NEAR(norvex.DAGetPageWidth(handle, pageRef), sizes[page - 1].Width, 0.01) << "page " << page;
      EXPECT_NEAR(norvex.DAGetPageHeight(handle, pageRef), sizes[page - 1].Height, 0.01) << "page " << page;
    }
    EXPECT_EQ(norvex.DAFindPage(handle, 0), 0);
    EXPECT_EQ(norvex.DAFindPage(handle, pages + 1), 0);
    EXPECT_EQ(norvex.DAFindPage(handle, -1), 0);
    EXPECT_EQ(norvex.DACloseFile(handle), 1);
  }
  EXPECT_EQ(norvex.DAHandleCount(), 0);
}

TEST(DirectAccess, SecondOpenOfAHeldFileFails) {
  TNorvex norvex;
  const std::string file = TempCopy("da_held", testsupport::ReadFile(DataPath("sample.pdf")));
  int32_t first = norvex.DAOpenFile(file, "");
  ASSERT_NE(first, 0);
  EXPECT_EQ(norvex.DAOpenFile(file, ""), 0);
  TNorvex other;  // another facade in the same process is kept out too
  EXPECT_EQ(other.DAOpenFile(file, ""), 0);
  EXPECT_EQ(norvex.DACloseFile(first), 1);
  int32_t again = norvex.DAOpenFile(file, "");
  EXPECT_NE(again, 0);
  EXPECT_NE(again, first);  // a new value, not the closed one
}

TEST(DirectAccess, ForeignUnknownAndClosedHandlesAreRefused) {
  TNorvex norvex;
  const std::string a = TempCopy("da_handles_a", testsupport::ReadFile(DataPath("da_classic.pdf")));
  const std::string b = TempCopy("da_handles_b", testsupport::ReadFile(DataPath("da_tree.pdf")));
  int32_t fileA = norvex.DAOpenFile(a, "");
  int32_t fileB = norvex.DAOpenFile(b, "");
  ASSERT_NE(fileA, 0);
  ASSERT_NE(fileB, 0);
  int32_t pageA = norvex.DAFindPage(fileA, 1);
  int32_t pageB = norvex.DAFindPage(fileB, 1);
  ASSERT_NE(pageA, 0);
  ASSERT_NE(pageB, 0);
  EXPECT_EQ(norvex.DAGetPageWidth(fileA, pageA), 612);
  EXPECT_EQ(norvex.DAGetPageWidth(fileB, pageB), 595);
  // A page of one file is no page of another, and page and file handles do not mix.
  EXPECT_EQ(norvex.DAGetPageWidth(fileA, pageB), 0);
  EXPECT_EQ(norvex.DAGetPageHeight(fileB, pageA), 0);
  EXPECT_EQ(norvex.DAGetPageCount(pageA), 0);
  EXPECT_EQ(norvex.DAGetPageWidth(pageA, pageA), 0);
  EXPECT_EQ(norvex.DAGetPageWidth(fileA, fileA), 0);
  for (int32_t forged : {0, -1, 12345, INT32_MAX, INT32_MIN, fileA + fileB + pageA + pageB + 1}) {
    SCOPED_TRACE(forged);
    EXPECT_EQ(norvex.DACloseFile(forged), 0);
    EXPECT_EQ(norvex.DAGetPageCount(forged), 0);
    EXPECT_EQ(norvex.DAFindPage(forged, 1), 0);
    EXPECT_EQ(norvex.DAGetPageWidth(forged, pageA), 0);
    EXPECT_EQ(norvex.DAGetPageHeight(fileA, forged), 0);
  }
  ASSERT_EQ(norvex.DACloseFile(fileA), 1);
  EXPECT_EQ(norvex.DACloseFile(fileA), 0);
  EXPECT_EQ(norvex.DAGetPageCount(fileA), 0);
  EXPECT_EQ(norvex.DAFindPage(fileA, 1), 0);
  EXPECT_EQ(norvex.DAGetPageWidth(fileA, pageA), 0);
  EXPECT_EQ(norvex.DAGetPageCount(fileB), 7);  // the other handle is untouched
  EXPECT_EQ(norvex.LastErrorCode(), 0);
}

TEST(DirectAccess, DestroyingTheFacadeClosesItsHandles) {
  const std::string file = TempCopy("da_destroy", testsupport::ReadFile(DataPath("sample.pdf")));
  {
    TNorvex norvex;
    ASSERT_NE(norvex.DAOpenFile(file, ""), 0);
    ASSERT_NE(norvex.DAOpenFile(DataPath("da_tree.pdf"), ""), 0);
    EXPECT_EQ(norvex.DAHandleCount(), 2);
  }
  TNorvex later;
  EXPECT_NE(later.DAOpenFile(file, ""), 0);
}

TEST(DirectAccess, ReadOnlyFileOpensAndStillHoldsItsLock) {
  const std::string file = TempCopy("da_readonly", testsupport::ReadFile(DataPath("sample.pdf")));
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  auto check = [&]() -> int {
    TNorvex norvex;
    int32_t handle = norvex.DAOpenFile(file, "");
    if (handle == 0) return 1;
    if (norvex.DAGetPageCount(handle) != 2) return 2;
    if (norvex.DAOpenFile(file, "") != 0) return 3;
    return 0;
  };
  if (::geteuid() != 0) {
    EXPECT_EQ(check(), 0);
    return;
  }
  // The superuser may write any file: check as an ordinary user in a child process.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(9);
    ::_exit(check());
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 9) GTEST_SKIP() << "cannot drop privileges";
  // 1 would mean the unprivileged user could not read the file (folder permissions).
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(DirectAccess, DamagedFilesGiveNoHandleOrSafeAnswers) {
  const std::string good = testsupport::ReadFile(DataPath("da_classic.pdf"));
  const size_t startxref = good.rfind("startxref");
  struct {
    const char* name;
    std::string bytes;
    bool opens;
  } cases[] = {
      // Repaired from a scan of the objects they still hold.
      {"truncated", good.substr(0, good.size() * 2 / 3), true},
      {"wrong startxref", good.substr(0, startxref) + "startxref\n15\n%%EOF\n", true},
      {"short garbage after %%EOF", good + std::string(300, '#'), true},
      {"long garbage after %%EOF", good + std::string(3000, '#'), true},
      {"not a PDF", "hello, world\n", false},
      {"empty", "", false},
      {"no catalog", tinypdf::Classic({{1, "<< /Type /Pages >>"}}, "<< /Size 2 >>").Bytes, false},
  };
  for (const auto& c : cases) {
    TNorvex norvex;
    int32_t handle = norvex.DAOpenFile(TempCopy("da_damaged", c.bytes), "");
    EXPECT_EQ(handle != 0, c.opens) << c.name;
  }
  TNorvex norvex;
  EXPECT_EQ(norvex.DAOpenFile(testsupport::TempDir("da_missing") + "/absent.pdf", ""), 0);
  EXPECT_EQ(norvex.DAOpenFile(testsupport::TempDir("da_folder"), ""), 0);
}
