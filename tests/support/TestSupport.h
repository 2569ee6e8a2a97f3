#pragma once
// Helpers shared by the test programs: fixture paths, file reading, and running peer tools.
#include <string>

namespace testsupport {

// Absolute path of a fixture of tests/data, in a copy private to this test process (the
// library locks the files it opens, and ctest runs test programs side by side).
std::string DataPath(const std::string& name);

// Whole file as bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& bytes);

// A fresh empty folder for one test, removed by nobody (under the build tree's tmp).
std::string TempDir(const std::string& tag);

// True when the program is found on PATH.
bool HaveTool(const std::string& program);

// Runs a shell command; stdout goes to *out when given. Returns the exit status (or -1).
int Run(const std::string& command, std::string* out = nullptr);

// Quotes one argument for the shell.
std::string Quote(const std::string& arg);

// The value on the line "label: value" of a report (leading blanks dropped); "(none)" when
// no line has that label.
std::string ReportField(const std::string& report, const std::string& label);
// A field of pdfinfo's report on a file ("Pages", "Title", ...), opened with the password as
// owner or user password; "(none)" when pdfinfo does not show it.
std::string PdfInfoField(const std::string& file, const std::string& field, const std::string& password = "");

// True when every object of first is in second with the same value, as pikepdf reads both
// (tests/support/same_objects.py); infoMayChange lists the information keys that may differ.
// The script's report goes to *report when given.
bool SameObjects(const std::string& first, const std::string& firstPassword, const std::string& second,
                 const std::string& secondPassword, const std::string& infoMayChange = "",
                 std::string* report = nullptr);
// True when the system's Python has pikepdf.
bool HavePikepdf();

}  // namespace testsupport

// Skips the current test with a message when a peer tool is missing.
#define REQUIRE_TOOL(name)                                             \
  do {                                                                 \
    if (!testsupport::HaveTool(name)) GTEST_SKIP() << name " not found"; \
  } while (0)
