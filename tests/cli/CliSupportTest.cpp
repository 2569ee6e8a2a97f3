#include <gtest/gtest.h>

#include "CliSupport.h"

using namespace cli;

TEST(CliArgs, ScansOptionsFlagsAndPositionals) {
  Args a({"in.pdf", "--user-password", "u", "--owner-password=o=x", "--quiet", "--", "--odd.pdf"}, {"quiet"});
  EXPECT_EQ(a.Positional(), (std::vector<std::string>{"in.pdf", "--odd.pdf"}));
  EXPECT_EQ(a.Get("user-password"), "u");
  EXPECT_EQ(a.Get("owner-password"), "o=x");
  EXPECT_TRUE(a.Has("quiet"));
  EXPECT_FALSE(a.Get("strength").has_value());
}

TEST(CliArgs, RefusesMistakes) {
  EXPECT_THROW(Args({"--user-password"}, {}), UsageError);         // value missing
  EXPECT_THROW(Args({"--quiet=1"}, {"quiet"}), UsageError);         // flag with a value
  EXPECT_THROW(Args({"-x"}, {}), UsageError);                       // unknown short option
  Args a({"a", "b", "--bogus", "1"}, {});
  EXPECT_THROW(a.Check({"password"}, 2, 2), UsageError);            // unknown long option
  EXPECT_THROW(Args({"a"}, {}).Check({}, 2, 2), UsageError);        // too few files
  EXPECT_THROW(Args({"a", "b", "c"}, {}).Check({}, 2, 2), UsageError);  // too many
}

TEST(CliPasswords, ComeFromOptionFileOrPromptAndBecomeLibraryBytes) {
  int prompts = 0;
  PasswordSource source{
      [](const std::string& path) { return path == "-" ? std::string("piped\n") : std::string("fil\xC3\xA9\r\nrest"); },
      [] { return true; },
      [&](const std::string&) { ++prompts; return std::string("typed"); }};
  EXPECT_EQ(ReadPassword(Args({"--password", "caf\xC3\xA9"}, {}), "password", "", source), "caf\xE9");
  EXPECT_EQ(ReadPassword(Args({"--password-file", "pw.txt"}, {}), "password", "", source), "fil\xE9");
  EXPECT_EQ(ReadPassword(Args({"--password-file", "-"}, {}), "password", "", source), "piped");
  EXPECT_EQ(ReadPassword(Args({"--password", ""}, {}), "password", "", source), "");
  EXPECT_EQ(prompts, 0);
  EXPECT_EQ(ReadPassword(Args({}, {}), "password", "Password: ", source), "typed");
  EXPECT_EQ(prompts, 1);
  // Not a terminal: a missing password is the empty one, never a prompt.
  source.IsInteractive = [] { return false; };
  EXPECT_EQ(ReadPassword(Args({}, {}), "password", "Password: ", source), "");
  EXPECT_EQ(prompts, 1);
  EXPECT_THROW(ReadPassword(Args({"--password", "a", "--password-file", "b"}, {}), "password", "", source),
               UsageError);
}

TEST(CliRights, ParsesListsOfRightNames) {
  Rights all = ParseRights("all");
  EXPECT_TRUE(all.Print && all.Modify && all.Copy && all.Annotate && all.FillForms && all.Accessibility &&
              all.Assemble);
  Rights none = ParseRights("none");
  EXPECT_FALSE(none.Print || none.Modify || none.Copy || none.Annotate || none.FillForms ||
               none.Accessibility || none.Assemble);
  Rights some = ParseRights("print,fill-forms");
  EXPECT_TRUE(some.Print && some.FillForms);
  EXPECT_FALSE(some.Copy || some.Modify);
  EXPECT_THROW(ParseRights("print,scan"), UsageError);
  EXPECT_THROW(ParseRights(""), UsageError);
}

TEST(CliResults, EveryFileCodeHasWordsAndAKindOfExit) {
  EXPECT_EQ(ExitStatusForCode(0), kExitOk);
  EXPECT_EQ(ExitStatusForCode(404), kExitPassword);
  EXPECT_EQ(ExitStatusForCode(409), kExitDamaged);
  EXPECT_EQ(ExitStatusForCode(402), kExitIo);
  EXPECT_EQ(ExitStatusForCode(406), kExitState);
  for (int code = 401; code <= 409; ++code) EXPECT_NE(ResultCodeText(code), ResultCodeText(0)) << code;
}
