// Parsing and printing of object text, beside qpdf's object parser and unparser on the same
// objects when its development files are present. The input is made here: a few MB of objects
// shaped like those of real files (pages, fonts with width arrays, annotations, information
// dictionaries, cross-reference stream dictionaries, number arrays).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "uPDFStructure.h"

#ifdef PARVEX_HAVE_QPDF
#define POINTERHOLDER_TRANSITION 4  // the peer's current pointer API, without its transition warning
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#endif

namespace {

class TCorpus {
 public:
  TCorpus() {
    while (FBytes < kTargetBytes) {
      switch (FObjects.size() % 6) {
        case 0: Add(Page()); break;
        case 1: Add(Font()); break;
        case 2: Add(Annotation()); break;
        case 3: Add(Info()); break;
        case 4: Add(Numbers()); break;
        default: Add(XRefDictionary()); break;
      }
    }
  }
  const std::vector<std::string>& Objects() const { return FObjects; }
  size_t Bytes() const { return FBytes; }

 private:
  static constexpr size_t kTargetBytes = 4 << 20;

  void Add(std::string text) {
    FBytes += text.size();
    FObjects.push_back(std::move(text));
  }
  int Int(int low, int high) { return std::uniform_int_distribution<int>(low, high)(FRandom); }
  std::string Ref() { return std::to_string(Int(1, 90000)) + " 0 R"; }
  std::string Real() {
    return std::to_string(Int(-900, 900)) + "." + std::to_string(Int(0, 9999));
  }
  std::string Hex(int bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "<";
    for (int i = 0; i < bytes * 2; ++i) out += digits[Int(0, 15)];
    return out + ">";
  }

  std::string Page() {
    return "<< /Type /Page /Parent " + Ref() + " /Resources << /Font << /F1 " + Ref() + " /F2 " + Ref() +
           " >> /ProcSet [/PDF /Text /ImageB /ImageC] /XObject << /Im" + std::to_string(Int(1, 99)) + " " + Ref() +
           " >> >> /MediaBox [0 0 612 792] /CropBox [ " + Real() + " " + Real() + " 595.276 841.89 ] /Contents " +
           Ref() + " /Annots [ " + Ref() + " " + Ref() + " " + Ref() + " ] /Rotate 0 >>";
  }
  std::string Font() {
    std::string widths;
    for (int i = 32; i < 256; ++i) widths += std::to_string(Int(200, 1000)) + " ";
    return "<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+Arial#20Bold /FirstChar 32 /LastChar 255 "
           "/Widths [ " + widths + "] /FontDescriptor " + Ref() + " /Encoding /WinAnsiEncoding >>";
  }
  std::string Annotation() {
    return "<< /Type /Annot /Subtype /Link /Rect [ " + Real() + " " + Real() + " " + Real() + " " + Real() +
           " ] /Border [0 0 0] /A << /S /URI /URI (http://www.example.com/docs/page" + std::to_string(Int(1, 9999)) +
           ".html?q=\\(a\\)) >> /F 4 /M (D:20240115093000+01'00') /P " + Ref() + " >>";
  }
  std::string Info() {
    return "<< /Title (Annual report \\(draft " + std::to_string(Int(1, 99)) +
           "\\)\\r\\nsecond line) /Author " + Hex(12) +
           " /CreationDate (D:20230301120000Z) /ModDate (D:20240115093000-05'30') /Producer (Parvex \\251 2024) "
           "/Trapped /False >>";
  }
  std::string Numbers() {
    std::string text = "[";
    for (int i = 0; i < 120; ++i) {
      text += ' ';
      text += Real();
    }
    return text + " ]";
  }
  std::string XRefDictionary() {
    return "<< /Type /XRef /Size " + std::to_string(Int(100, 90000)) + " /W [1 3 1] /Index [0 " +
           std::to_string(Int(100, 90000)) + "] /Root " + Ref() + " /Info " + Ref() +
           " /Filter /FlateDecode /DecodeParms << /Columns 5 /Predictor 12 >> /Length " +
           std::to_string(Int(100, 90000)) + " /ID [" + Hex(16) + Hex(16) + "] >>";
  }

  std::mt19937 FRandom{20240115};
  std::vector<std::string> FObjects;
  size_t FBytes = 0;
};

const TCorpus& Corpus() {
  static const TCorpus corpus;
  return corpus;
}

void BM_Parse(benchmark::State& state) {
  const TCorpus& corpus = Corpus();
  for (auto _ : state) {
    TPDFStructure structure;
    for (const std::string& text : corpus.Objects()) benchmark::DoNotOptimize(structure.Parse(text));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.Bytes()));
}
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);

void BM_ToText(benchmark::State& state) {
  TPDFStructure structure;
  std::vector<TPDFObject*> values;
  for (const std::string& text : Corpus().Objects()) values.push_back(structure.Parse(text));
  std::string out;
  size_t bytes = 0;
  for (auto _ : state) {
    out.clear();
    for (const TPDFObject* value : values) value->AppendText(out);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_ToText)->Unit(benchmark::kMillisecond);

#ifdef PARVEX_HAVE_QPDF
void BM_PeerParse(benchmark::State& state) {
  const TCorpus& corpus = Corpus();
  for (auto _ : state) {
    QPDF context;
    context.emptyPDF();
    for (const std::string& text : corpus.Objects())
      benchmark::DoNotOptimize(QPDFObjectHandle::parse(&context, text));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.Bytes()));
}
BENCHMARK(BM_PeerParse)->Unit(benchmark::kMillisecond);

void BM_PeerUnparse(benchmark::State& state) {
  QPDF context;
  context.emptyPDF();
  std::vector<QPDFObjectHandle> values;
  for (const std::string& text : Corpus().Objects()) values.push_back(QPDFObjectHandle::parse(&context, text));
  std::string out;
  size_t bytes = 0;
  for (auto _ : state) {
    out.clear();
    for (QPDFObjectHandle& value : values) out += value.unparse();
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_PeerUnparse)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
