#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "TestSupport.h"
#include "uPlatformFile.h"

using platform::TFile;
using platform::TFileShare;

namespace {

std::string NewFile(const std::string& tag, const std::string& bytes = "0123456789") {
  std::string path = testsupport::TempDir(tag) + "/f.bin";
  testsupport::WriteFile(path, bytes);
  return path;
}

}  // namespace

TEST(PlatformFile, SharingModesKeepEachOtherOut) {
  struct {
    TFileShare first, second;
    bool secondOpens;
  } cases[] = {
      {TFileShare::ReadWriteExclusive, TFileShare::ReadWriteExclusive, false},
      {TFileShare::ReadWriteExclusive, TFileShare::ReadDenyWrite, false},
      {TFileShare::ReadWriteExclusive, TFileShare::ReadShared, true},
      {TFileShare::ReadDenyWrite, TFileShare::ReadDenyWrite, true},
      {TFileShare::ReadDenyWrite, TFileShare::ReadWriteExclusive, false},
      {TFileShare::ReadShared, TFileShare::ReadWriteExclusive, true},
  };
  const std::string path = NewFile("share");
  for (const auto& c : cases) {
    TFile first, second;
    ASSERT_TRUE(first.Open(path, c.first));
    EXPECT_EQ(second.Open(path, c.second), c.secondOpens)
        << static_cast<int>(c.first) << " then " << static_cast<int>(c.second);
  }
  // A held file can be neither replaced nor deleted by our own writers.
  TFile held;
  ASSERT_TRUE(held.Open(path, TFileShare::ReadDenyWrite));
  TFile writer;
  EXPECT_FALSE(writer.Create(path));
  EXPECT_FALSE(platform::DeleteFile(path));
  EXPECT_EQ(testsupport::ReadFile(path), "0123456789");
  held.Close();
  EXPECT_TRUE(platform::DeleteFile(path));
  EXPECT_FALSE(platform::FileExists(path));
}

TEST(PlatformFile, PositionedReadsWritesAndFacts) {
  const std::string path = NewFile("rw", "");
  TFile file;
  ASSERT_TRUE(file.Create(path));
  ASSERT_TRUE(file.Write("hello "));
  ASSERT_TRUE(file.Write(std::string("world")));
  EXPECT_EQ(file.Position(), 11);
  EXPECT_EQ(file.Size(), 11);
  EXPECT_EQ(file.Read(6, 100), "world");
  EXPECT_EQ(file.Read(11, 1), "");
  EXPECT_EQ(file.Read(-1, 3), "");
  file.Close();
  EXPECT_EQ(platform::FileSize(path), 11);
  platform::TDateTime modified;
  EXPECT_TRUE(platform::FileModified(path, modified));
  EXPECT_GE(modified.Year, 2020);
  EXPECT_EQ(platform::FileSize(path + ".absent"), -1);
  EXPECT_FALSE(platform::FileModified(path + ".absent", modified));
  EXPECT_FALSE(file.Open(path + ".absent", TFileShare::ReadShared));
  EXPECT_FALSE(file.Open(testsupport::TempDir("rw_folder"), TFileShare::ReadShared));  // a folder is no file
  // Nor is a named pipe; opening one for reading is refused at once instead of waiting for a writer.
  const std::string pipe = testsupport::TempDir("rw_pipe") + "/pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(file.Open(pipe, TFileShare::ReadShared));
  EXPECT_FALSE(file.Open(pipe, TFileShare::ReadDenyWrite));
}

TEST(PlatformFile, ReplaceCommitsWholeOrLeavesTheTargetAlone) {
  const std::string target = NewFile("replace", "old");
  {
    platform::TReplaceFile replace(target);
    ASSERT_TRUE(replace.Begin());
    ASSERT_TRUE(replace.File().Write("new bytes"));
    // Not committed: the temporary file goes, the target stays.
  }
  EXPECT_EQ(testsupport::ReadFile(target), "old");
  {
    TFile holder;
    ASSERT_TRUE(holder.Open(target, TFileShare::ReadDenyWrite));
    platform::TReplaceFile replace(target);
    ASSERT_TRUE(replace.Begin());
    ASSERT_TRUE(replace.File().Write("new bytes"));
    EXPECT_FALSE(replace.Commit());  // the target is held
  }
  EXPECT_EQ(testsupport::ReadFile(target), "old");
  platform::TReplaceFile replace(target);
  ASSERT_TRUE(replace.Begin());
  std::string temp = replace.TempName();
  ASSERT_TRUE(replace.File().Write("new bytes"));
  ASSERT_TRUE(replace.Commit());
  EXPECT_EQ(testsupport::ReadFile(target), "new bytes");
  EXPECT_FALSE(platform::FileExists(temp));
  // No temporary file is left in the folder.
  std::string listing;
  testsupport::Run("ls -A " + testsupport::Quote(target.substr(0, target.rfind('/'))), &listing);
  EXPECT_EQ(listing, "f.bin\n");
}

TEST(PlatformFile, SameFileFollowsLinks) {
  const std::string path = NewFile("same");
  const std::string other = NewFile("same_other");
  const std::string link = path + ".link";
  ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
  EXPECT_TRUE(platform::SameFile(path, link));
  EXPECT_TRUE(platform::SameFile(path, path.substr(0, path.rfind('/')) + "/./f.bin"));
  EXPECT_FALSE(platform::SameFile(path, other));
  EXPECT_FALSE(platform::SameFile(path, path + ".absent"));
}
