// The direct-access reader beside qpdf's library on the same files in the same run:
//   pages/   open, page count, and the media box size of every page (the DA page queries)
//   objects/ open and parse every object, as a copy of the file reads them
// The inputs come from bench/make_load_inputs.sh; PARVEX_BENCH_INPUTS names their folder
// (default build/bench-inputs). bench/bench_smartaccess.sh runs this and prints the ratios.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "uNorvex.h"
#include "uPDFSmartAccess.h"

#ifdef PARVEX_HAVE_QPDF
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#endif

namespace {

std::string InputPath(const std::string& name) {
  const char* dir = std::getenv("PARVEX_BENCH_INPUTS");
  return std::string(dir ? dir : "build/bench-inputs") + "/" + name;
}

double OursPages(const std::string& path) {
  TNorvex norvex;
  int32_t file = norvex.DAOpenFile(path, "");
  double sum = 0;
  const int32_t pages = norvex.DAGetPageCount(file);
  for (int32_t page = 1; page <= pages; ++page) {
    int32_t ref = norvex.DAFindPage(file, page);
    sum += norvex.DAGetPageWidth(file, ref) + norvex.DAGetPageHeight(file, ref);
  }
  norvex.DACloseFile(file);
  return sum;
}

int64_t OursObjects(const std::string& path) {
  platform::TFile file;
  if (!file.Open(path, platform::TFileShare::ReadDenyWrite)) return -1;
  TSmartPDFReader reader(file);
  auto pool = std::make_unique<TPDFStructure>();
  int64_t found = 0;
  for (int32_t n = 1; n <= reader.MaxObjectNumber(); ++n) {
    found += reader.FetchObject(n, pool.get()) != nullptr;
    if (pool->Count() > 100) pool = std::make_unique<TPDFStructure>();
  }
  return found;
}

#ifdef PARVEX_HAVE_QPDF
double QpdfPages(const std::string& path) {
  QPDF pdf;
  pdf.processFile(path.c_str());
  double sum = 0;
  for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
    QPDFObjectHandle box = page.getAttribute("/MediaBox", false);
    if (box.isArray() && box.getArrayNItems() == 4) {
      sum += box.getArrayItem(2).getNumericValue() - box.getArrayItem(0).getNumericValue() +
             box.getArrayItem(3).getNumericValue() - box.getArrayItem(1).getNumericValue();
    }
  }
  return sum;
}

int64_t QpdfObjects(const std::string& path) {
  QPDF pdf;
  pdf.processFile(path.c_str());
  int64_t found = 0;
  for (QPDFObjectHandle& object : pdf.getAllObjects()) found += object.getTypeCode() != ::ot_null;
  return found;
}
#endif

void Register(const std::string& name) {
  const std::string path = InputPath(name);
  if (!std::filesystem::exists(path)) return;
  benchmark::RegisterBenchmark(("pages/parvex/" + name).c_str(), [path](benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(OursPages(path));
  })->Unit(benchmark::kMillisecond)->UseRealTime();
  benchmark::RegisterBenchmark(("objects/parvex/" + name).c_str(), [path](benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(OursObjects(path));
  })->Unit(benchmark::kMillisecond)->UseRealTime();
#ifdef PARVEX_HAVE_QPDF
  benchmark::RegisterBenchmark(("pages/qpdf/" + name).c_str(), [path](benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(QpdfPages(path));
  })->Unit(benchmark::kMillisecond)->UseRealTime();
  benchmark::RegisterBenchmark(("objects/qpdf/" + name).c_str(), [path](benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(QpdfObjects(path));
  })->Unit(benchmark::kMillisecond)->UseRealTime();
#endif
}

[[maybe_unused]] const bool kRegistered = [] {
  for (const char* name : {"many_objects.pdf", "many_objstm.pdf", "big_file.pdf"}) Register(name);
  return true;
}();

}  // namespace
