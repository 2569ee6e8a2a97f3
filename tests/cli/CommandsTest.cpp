#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Commands.h"
#include "TestSupport.h"

using testsupport::DataPath;

namespace {

struct Result {
  int Status;
  std::string Out, Err;
};

// Runs the tool in-process; passwords not on the command line come from a script.
Result Cli(const std::vector<std::string>& args, bool interactive = false, std::string typed = "") {
  cli::PasswordSource source{[](const std::string& path) { return testsupport::ReadFile(path); },
                             [=] { return interactive; }, [=](const std::string&) { return typed; }};
  std::ostringstream out, err;
  int status = cli::RunCli(args, out, err, source);
  return {status, out.str(), err.str()};
}

}  // namespace

TEST(CliCommands, EncryptThenDecryptWithEitherPassword) {
  const std::string dir = testsupport::TempDir("cli-roundtrip");
  const std::string enc = dir + "/enc.pdf", dec = dir + "/dec.pdf";
  ASSERT_EQ(Cli({"encrypt", DataPath("sample.pdf"), enc, "--user-password", "u", "--owner-password", "o",
                 "--strength", "40", "--allow", "print,copy", "--quiet"})
                .Status,
            0);
  if (testsupport::HaveTool("qpdf")) {
    std::string shown;
    testsupport::Run("qpdf --show-encryption --password=o " + testsupport::Quote(enc), &shown);
    EXPECT_NE(shown.find("R = 2"), std::string::npos) << shown;
    // print (and with it high-quality print) and copy allowed, the rest denied
    EXPECT_NE(shown.find("P = -44\n"), std::string::npos) << shown;
  }
  for (const char* password : {"u", "o"}) {
    Result r = Cli({"decrypt", enc, dec, "--password", password});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("decrypted"), std::string::npos);
  }
  // Password from a file (first line only) and typed at a prompt.
  testsupport::WriteFile(dir + "/pw.txt", "o\nignored\n");
  EXPECT_EQ(Cli({"decrypt", enc, dec, "--password-file", dir + "/pw.txt"}).Status, 0);
  EXPECT_EQ(Cli({"decrypt", enc, dec}, true, "u").Status, 0);
}

TEST(CliCommands, FailuresNameTheFileTheReasonAndExitByKind) {
  const std::string dir = testsupport::TempDir("cli-failures");
  const std::string enc = dir + "/enc.pdf";
  testsupport::WriteFile(dir + "/text.pdf", "not a pdf");
  ASSERT_EQ(Cli({"encrypt", DataPath("sample.pdf"), enc, "--user-password", "u", "--owner-password", "o"}).Status, 0);

  struct Case {
    std::vector<std::string> Args;
    int Status;
    const char* Says;
  } cases[] = {
      {{"decrypt", enc, dir + "/out.pdf", "--password", "wrong"}, cli::kExitPassword, "(code 404)"},
      {{"decrypt", dir + "/text.pdf", dir + "/out.pdf", "--password", ""}, cli::kExitDamaged, "(code 409)"},
      {{"decrypt", dir + "/missing.pdf", dir + "/out.pdf", "--password", ""}, cli::kExitIo, "(code 401)"},
      {{"encrypt", enc, dir + "/out.pdf", "--user-password", "", "--owner-password", ""}, cli::kExitState,
       "(code 406)"},
      {{"decrypt", DataPath("sample.pdf"), dir + "/out.pdf", "--password", ""}, cli::kExitState, "(code 405)"},
      {{"encrypt", DataPath("sample.pdf")}, cli::kExitUsage, "missing file name"},
      {{"encrypt", DataPath("sample.pdf"), enc, "--allow", "print,fly"}, cli::kExitUsage, "unknown right"},
      {{"decrypt", enc, dir + "/out.pdf", "--bogus", "1"}, cli::kExitUsage, "unknown option --bogus"},
      {{"frobnicate"}, cli::kExitUsage, "unknown command"},
  };
  for (const Case& c : cases) {
    Result r = Cli(c.Args);
    EXPECT_EQ(r.Status, c.Status) << r.Err;
    EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
  }
  // The failure message is one line naming the file.
  Result r = Cli({"decrypt", enc, dir + "/out.pdf", "--password", "wrong"});
  EXPECT_EQ(r.Err, "parvex-cli: " + enc + ": the password is neither the user nor the owner password (code 404)\n");
  EXPECT_FALSE(std::ifstream(dir + "/out.pdf").good());  // a refused call leaves no output behind
}

TEST(CliCommands, EveryCommandHasHelp) {
  for (const char* command : {"encrypt", "decrypt"}) {
    Result r = Cli({command, "--help"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out.rfind(std::string("usage: parvex-cli ") + command, 0), 0u) << r.Out;
  }
  EXPECT_EQ(Cli({"--help"}).Status, 0);
  EXPECT_EQ(Cli({}).Status, cli::kExitUsage);
}
