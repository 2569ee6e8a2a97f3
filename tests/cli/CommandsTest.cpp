#include <gtest/gtest.h>

#include <filesystem>
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

namespace {

// pdfinfo's value of a field; the value on our own info line with that label.
std::string PdfInfo(const std::string& file, const std::string& password, const std::string& field) {
  return testsupport::PdfInfoField(file, field, password);
}
std::string InfoLine(const std::string& text, const std::string& label) { return testsupport::ReportField(text, label); }

}  // namespace

TEST(CliCommands, InfoAgreesWithPdfinfo) {
  REQUIRE_TOOL("pdfinfo");
  struct Case {
    const char* File;
    const char* Password;
    const char* Encryption;
  };
  const Case cases[] = {
      {"sample.pdf", "", "no"},
      {"info_texts.pdf", "", "no"},
      {"da_objstm.pdf", "", "no"},
      {"da_update.pdf", "", "no"},
      {"da_wide.pdf", "", "no"},
      {"app_rc4_128.pdf", "user", "yes (128-bit RC4)"},
      {"sec_rc4_40.pdf", "owner", "yes (40-bit RC4)"},
      {"da_rc4_128_objstm.pdf", "user", "yes (128-bit RC4)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File);
    const std::string file = DataPath(c.File);
    Result r = Cli({"info", file, "--password", c.Password});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(InfoLine(r.Out, "Pages"), PdfInfo(file, c.Password, "Pages"));
    // pdfinfo: "612 x 792 pts (letter)"
    EXPECT_EQ(PdfInfo(file, c.Password, "Page size").rfind(InfoLine(r.Out, "Page size"), 0), 0u);
    EXPECT_EQ(InfoLine(r.Out, "Encrypted"), c.Encryption);
    for (const char* field : {"Title", "Author", "Subject", "Keywords", "Creator", "Producer"}) {
      // pdfinfo leaves out a value stored as a stream, which this tool reads.
      if (std::string(c.File) == "info_texts.pdf" && std::string(field) == "Keywords") continue;
      const std::string theirs = PdfInfo(file, c.Password, field);
      const std::string ours = InfoLine(r.Out, field);
      // A character the information text cannot hold reads as '?' here.
      if (theirs.find("\xF0\x9F") != std::string::npos || theirs.find("\xD0\x91") != std::string::npos)
        EXPECT_EQ(ours, "Caf\xC3\xA9 \xE2\x82\xAC ? ?") << field;
      else
        EXPECT_EQ(ours, theirs == "(none)" ? "" : theirs) << field;
    }
  }
  // JSON output carries the same facts.
  Result json = Cli({"info", DataPath("sec_rc4_40_denied.pdf"), "--password", "user", "--json"});
  ASSERT_EQ(json.Status, 0);
  EXPECT_NE(json.Out.find("\"key_bits\": 40"), std::string::npos);
  EXPECT_NE(json.Out.find("\"print\": false"), std::string::npos);
  EXPECT_NE(json.Out.find("\"title\": \"Security fixture title\""), std::string::npos);
}

TEST(CliCommands, VerifyNamesThePassword) {
  struct Case {
    const char* File;
    const char* Password;
    const char* Verdict;
    int Status;
  };
  const Case cases[] = {
      {"sec_rc4_128.pdf", "user", "user", 0},
      {"sec_rc4_128.pdf", "owner", "owner", 0},
      {"sec_rc4_128_emptyowner.pdf", "user", "both (user and owner)", 0},
      {"sec_rc4_128.pdf", "wrong", "incorrect", 3},
      {"sample.pdf", "", "not encrypted", 0},
  };
  for (const Case& c : cases) {
    Result r = Cli({"verify", DataPath(c.File), "--password", c.Password});
    EXPECT_EQ(r.Status, c.Status) << c.File << " " << c.Password;
    EXPECT_EQ(r.Out, DataPath(c.File) + ": " + c.Verdict + "\n");
  }
  Result missing = Cli({"verify", "/nonexistent.pdf", "--password", "x"});
  EXPECT_EQ(missing.Status, cli::kExitIo);
  EXPECT_NE(missing.Err.find("/nonexistent.pdf"), std::string::npos);
}

TEST(CliCommands, SetInfoInPlaceAndToAnotherFile) {
  const std::string dir = testsupport::TempDir("cli-setinfo");
  const std::string file = dir + "/doc.pdf";
  testsupport::WriteFile(file, testsupport::ReadFile(DataPath("sample.pdf")));
  Result r = Cli({"set-info", file, "--title", "Caf\xC3\xA9 \xE2\x84\xA2", "--author", "Someone", "--version", "1.5"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  Result info = Cli({"info", file});
  EXPECT_EQ(InfoLine(info.Out, "Title"), "Caf\xC3\xA9 \xE2\x84\xA2");
  EXPECT_EQ(InfoLine(info.Out, "Author"), "Someone");
  EXPECT_EQ(InfoLine(info.Out, "PDF version"), "1.5");
  if (testsupport::HaveTool("pdfinfo")) EXPECT_EQ(PdfInfo(file, "", "Title"), "Caf\xC3\xA9 \xE2\x84\xA2");

  const std::string copy = dir + "/copy.pdf";
  ASSERT_EQ(Cli({"set-info", file, "--subject", "S", "--output", copy}).Status, 0);
  EXPECT_EQ(InfoLine(Cli({"info", copy}).Out, "Subject"), "S");
  EXPECT_EQ(InfoLine(Cli({"info", file}).Out, "Subject"), "");

  // Refusals leave the file as it was.
  const std::string before = testsupport::ReadFile(file);
  EXPECT_EQ(Cli({"set-info", file, "--version", "1.7"}).Status, cli::kExitUsage);
  const std::string locked = dir + "/locked.pdf";
  testsupport::WriteFile(locked, testsupport::ReadFile(DataPath("sec_rc4_40.pdf")));
  Result encrypted = Cli({"set-info", locked, "--title", "x", "--password", "owner"});
  EXPECT_EQ(encrypted.Status, cli::kExitState);
  EXPECT_NE(encrypted.Err.find("encrypted"), std::string::npos);
  EXPECT_EQ(testsupport::ReadFile(file), before);
  EXPECT_EQ(testsupport::ReadFile(locked), testsupport::ReadFile(DataPath("sec_rc4_40.pdf")));
}

TEST(CliCommands, DamagedFilesAreRepairedWithAWarningOrRefusedWithNoRepair) {
  const std::string dir = testsupport::TempDir("cli-repair");
  const std::string damaged = DataPath("repair_shift3.pdf");
  Result info = Cli({"info", damaged});
  EXPECT_EQ(info.Status, 0);
  EXPECT_NE(info.Out.find("Pages:                                     9"), std::string::npos) << info.Out;
  EXPECT_NE(info.Err.find("warning: " + damaged + ": "), std::string::npos) << info.Err;
  Result json = Cli({"info", damaged, "--json"});
  EXPECT_NE(json.Out.find("\"repaired\": true"), std::string::npos) << json.Out;
  EXPECT_NE(json.Out.find("\"warnings\": [\"the cross-reference data"), std::string::npos) << json.Out;
  EXPECT_NE(Cli({"info", DataPath("sample.pdf"), "--json"}).Out.find("\"repaired\": false,\n  \"warnings\": []"),
            std::string::npos);
  // Every command repairs and says so; with --no-repair, the writing ones write nothing.
  const std::vector<std::vector<std::string>> commands = {
      {"encrypt", damaged, dir + "/e.pdf", "--user-password", "u", "--owner-password", "o", "--quiet"},
      {"set-info", damaged, "--author", "X", "--output", dir + "/s.pdf"},
      {"verify", damaged, "--password", ""},
  };
  for (const auto& command : commands) {
    Result repaired = Cli(command);
    EXPECT_EQ(repaired.Status, 0) << command[0] << ": " << repaired.Err;
    EXPECT_NE(repaired.Err.find("warning:"), std::string::npos) << command[0];
  }
  for (const auto& command : {commands[0], commands[1]}) {
    std::filesystem::remove(command[0] == "encrypt" ? dir + "/e.pdf" : dir + "/s.pdf");
    std::vector<std::string> strict = command;
    strict.push_back("--no-repair");
    Result refused = Cli(strict);
    EXPECT_NE(refused.Status, 0) << command[0];
    EXPECT_FALSE(std::filesystem::exists(command[0] == "encrypt" ? dir + "/e.pdf" : dir + "/s.pdf")) << command[0];
  }
}
