#pragma once
// Builds small PDF files in memory for the document tests: objects written in order, each
// offset recorded, and a classic cross-reference table of exactly 20-byte entries.
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "uPDFDocument.h"

namespace doctest_pdf {

class TTestPdf {
 public:
  explicit TTestPdf(std::string header = "%PDF-1.4\n") : Text(std::move(header)) {}

  // "num gen obj", a line feed, the body, a line feed and "endobj".
  TTestPdf& Obj(int num, const std::string& body, int gen = 0) {
    Offsets[num] = static_cast<int64_t>(Text.size());
    Text += std::to_string(num) + " " + std::to_string(gen) + " obj\n" + body + "\nendobj\n";
    return *this;
  }
  TTestPdf& Raw(const std::string& text) {
    Text += text;
    return *this;
  }
  // One 20-byte table entry.
  static std::string Entry(int64_t offset, int gen, char kind) {
    char line[32];
    std::snprintf(line, sizeof line, "%010lld %05d %c\r\n", static_cast<long long>(offset), gen, kind);
    return line;
  }
  // "xref" and one subsection from 0 over every number up to the highest object (numbers
  // without an object are free); returns the table's offset.
  int64_t Table() {
    const int64_t at = static_cast<int64_t>(Text.size());
    const int top = Offsets.empty() ? 0 : Offsets.rbegin()->first;
    Text += "xref\n0 " + std::to_string(top + 1) + "\n" + Entry(0, 65535, 'f');
    for (int n = 1; n <= top; ++n) Text += Offsets.count(n) ? Entry(Offsets[n], 0, 'n') : Entry(0, 0, 'f');
    return at;
  }
  // "trailer", the dictionary with the given keys, "startxref", the offset and "%%EOF".
  TTestPdf& Trailer(const std::string& keys, int64_t xrefAt) {
    Text += "trailer\n<< " + keys + " >>\nstartxref\n" + std::to_string(xrefAt) + "\n%%EOF\n";
    return *this;
  }
  // Table and trailer (with /Size) in one step; the finished file.
  std::string Finish(const std::string& keys = "/Root 1 0 R") {
    const int top = Offsets.empty() ? 0 : Offsets.rbegin()->first;
    Trailer("/Size " + std::to_string(top + 1) + " " + keys, Table());
    return Text;
  }

  std::string Text;
  std::map<int, int64_t> Offsets;
};

// A file of the given objects (number, body) with catalog 1 expected among them.
inline std::string MakePdf(const std::vector<std::pair<int, std::string>>& objects) {
  TTestPdf pdf;
  for (const auto& [num, body] : objects) pdf.Obj(num, body);
  return pdf.Finish();
}

// A document loaded from text; fails the calling test when the load fails.
inline std::unique_ptr<TPDFDocument> Load(const std::string& text) {
  auto doc = std::make_unique<TPDFDocument>();
  if (!doc->LoadFromString(text)) return nullptr;
  return doc;
}

}  // namespace doctest_pdf
