// Loading a document to its page count and first-page size, beside `qpdf --show-npages` and
// `pdfinfo` on the same files in the same run. Each tool runs as a process of its own (this
// program runs itself for the library's side), so the figures include start-up on every side;
// the library's load is also measured inside this process.
//
// The inputs come from bench/make_load_inputs.sh; PARVEX_BENCH_INPUTS names their folder
// (default build/bench-inputs). bench/bench_load.sh runs this and prints the ratios.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "uNorvex.h"
#include "uPDFDocument.h"

extern char** environ;

namespace {

const char* const kLoadOnce = "PARVEX_BENCH_LOAD_ONCE";

// The measured work: load the file through the facade, then page count and the first
// page's width and height.
std::string LoadReport(const std::string& path) {
  TNorvex norvex;
  if (!norvex.LoadFromFile(path)) return "failed";
  TPDFPageTree& tree = *norvex.SelectedDocumentObject().PageTree;
  const int32_t pages = tree.GetPageCount();
  tree.SetCurrentPage(1);
  return std::to_string(pages) + " " + std::to_string(tree.GetPageWidth()) + "x" +
         std::to_string(tree.GetPageHeight());
}

// Run as a child with PARVEX_BENCH_LOAD_ONCE=file: load it, print the report, and leave
// before the benchmark library starts.
[[maybe_unused]] const bool kChildDone = [] {
  const char* path = std::getenv(kLoadOnce);
  if (!path) return false;
  std::printf("%s\n", LoadReport(path).c_str());
  std::fflush(stdout);
  std::_Exit(0);
}();

std::string SelfPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

// Runs a command with its output discarded; false when it could not run or failed.
bool RunQuiet(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {}) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env(extraEnv);
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string InputPath(const std::string& name) {
  const char* dir = std::getenv("PARVEX_BENCH_INPUTS");
  return std::string(dir ? dir : "build/bench-inputs") + "/" + name;
}

void Register(const std::string& name) {
  const std::string path = InputPath(name);
  if (!std::filesystem::exists(path)) return;
  benchmark::RegisterBenchmark(("parvex_process/" + name).c_str(), [path](benchmark::State& state) {
    const std::string self = SelfPath();
    for (auto _ : state)
      if (!RunQuiet({self}, {std::string(kLoadOnce) + "=" + path})) state.SkipWithError("load failed");
  })->Unit(benchmark::kMillisecond)->UseRealTime();
  benchmark::RegisterBenchmark(("qpdf_show_npages/" + name).c_str(), [path](benchmark::State& state) {
    for (auto _ : state)
      if (!RunQuiet({"qpdf", "--show-npages", path})) state.SkipWithError("qpdf failed");
  })->Unit(benchmark::kMillisecond)->UseRealTime();
  benchmark::RegisterBenchmark(("pdfinfo/" + name).c_str(), [path](benchmark::State& state) {
    for (auto _ : state)
      if (!RunQuiet({"pdfinfo", path})) state.SkipWithError("pdfinfo failed");
  })->Unit(benchmark::kMillisecond)->UseRealTime();
  benchmark::RegisterBenchmark(("parvex_in_process/" + name).c_str(), [path](benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(LoadReport(path));
  })->Unit(benchmark::kMillisecond)->UseRealTime();
}

[[maybe_unused]] const bool kRegistered = [] {
  for (const char* name : {"many_objects.pdf", "many_objstm.pdf", "big_file.pdf"}) Register(name);
  return true;
}();

}  // namespace
