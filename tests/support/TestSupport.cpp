#include "TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace testsupport {

namespace {

// The fixtures as this test process sees them: a private copy of the data folder, made on first
// use and removed at exit. The library locks the files it opens (a direct-access handle locks
// out every other open), so test programs that ctest runs side by side must not share them.
class TPrivateData {
 public:
  TPrivateData() {
    namespace fs = std::filesystem;
    std::error_code ec;
    FDir = fs::path(PARVEX_BINARY_DIR) / "test-tmp" / ("data-" + std::to_string(::getpid()));
    fs::remove_all(FDir, ec);
    fs::create_directories(FDir, ec);
    fs::copy(PARVEX_TEST_DATA, FDir, fs::copy_options::recursive, ec);
    if (ec) FDir = PARVEX_TEST_DATA;  // no room for a copy: the shared folder serves
    else FOwned = true;
  }
  ~TPrivateData() {
    std::error_code ec;
    if (FOwned) std::filesystem::remove_all(FDir, ec);
  }
  std::string Path(const std::string& name) const { return (FDir / name).string(); }

 private:
  std::filesystem::path FDir;
  bool FOwned = false;
};

}  // namespace

std::string DataPath(const std::string& name) {
  static const TPrivateData data;
  return data.Path(name);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string TempDir(const std::string& tag) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(PARVEX_BINARY_DIR) / "test-tmp" / tag;
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir, ec);
  return dir.string();
}

bool HaveTool(const std::string& program) {
  return Run("command -v " + Quote(program) + " >/dev/null 2>&1") == 0;
}

int Run(const std::string& command, std::string* out) {
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  int status = pclose(p);
  if (out) *out = text;
  if (status == -1) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

std::string ReportField(const std::string& report, const std::string& label) {
  const std::string all = "\n" + report;
  const size_t at = all.find("\n" + label + ":");
  if (at == std::string::npos) return "(none)";
  const size_t end = std::min(all.find('\n', at + 1), all.size());
  const size_t start = std::min(all.find_first_not_of(' ', at + label.size() + 2), end);
  return all.substr(start, end - start);
}

std::string PdfInfoField(const std::string& file, const std::string& field, const std::string& password) {
  std::string out;
  const std::string pw = Quote(password);
  Run("pdfinfo -opw " + pw + " -upw " + pw + " " + Quote(file) + " 2>/dev/null", &out);
  return ReportField(out, field);
}

bool SameObjects(const std::string& first, const std::string& firstPassword, const std::string& second,
                 const std::string& secondPassword, const std::string& infoMayChange, std::string* report) {
  std::string command = "/usr/bin/python3 " + Quote(std::string(PARVEX_TEST_DATA) + "/../support/same_objects.py") +
                        " " + Quote(first) + " " + Quote(firstPassword) + " " + Quote(second) + " " +
                        Quote(secondPassword);
  if (!infoMayChange.empty()) command += " --info-may-change " + Quote(infoMayChange);
  std::string out;
  const bool same = Run(command + " 2>&1", &out) == 0;
  if (report) *report = out;
  return same;
}

bool HavePikepdf() { return Run("/usr/bin/python3 -c 'import pikepdf' >/dev/null 2>&1") == 0; }

}  // namespace testsupport
