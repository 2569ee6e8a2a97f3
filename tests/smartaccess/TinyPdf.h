#pragma once
// Builds small PDF files in memory with correct offsets, for the cases a fixture cannot
// show (damaged chains, loops, odd cross-reference streams).
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tinypdf {

struct TObject {
  int Num;
  std::string Body;  // text between "n 0 obj\n" and "\nendobj"
};

struct TFile {
  std::string Bytes;
  std::map<int, int64_t> Offsets;  // of each object written
  int64_t XRef = 0;                // offset of the last section written
};

inline void AppendObjects(TFile& file, const std::vector<TObject>& objects) {
  for (const TObject& object : objects) {
    file.Offsets[object.Num] = static_cast<int64_t>(file.Bytes.size());
    file.Bytes += std::to_string(object.Num) + " 0 obj\n" + object.Body + "\nendobj\n";
  }
}

inline std::string Entry(int64_t offset, int gen, char kind) {
  char line[24];
  std::snprintf(line, sizeof line, "%010lld %05d %c \n", static_cast<long long>(offset), gen, kind);
  return line;
}

// A classic section listing the given numbers (each its own subsection unless consecutive);
// numbers absent from Offsets are written free. trailer is the dictionary text.
inline void AppendClassicSection(TFile& file, const std::vector<int>& numbers, const std::string& trailer) {
  file.XRef = static_cast<int64_t>(file.Bytes.size());
  file.Bytes += "xref\n";
  for (size_t i = 0; i < numbers.size();) {
    size_t j = i;
    while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
    file.Bytes += std::to_string(numbers[i]) + " " + std::to_string(j - i + 1) + "\n";
    for (size_t k = i; k <= j; ++k) {
      auto found = file.Offsets.find(numbers[k]);
      file.Bytes += found == file.Offsets.end() ? Entry(0, numbers[k] == 0 ? 65535 : 1, 'f')
                                                : Entry(found->second, 0, 'n');
    }
    i = j + 1;
  }
  file.Bytes += "trailer\n" + trailer + "\n";
}

inline void AppendEnd(TFile& file, int64_t startxref) {
  file.Bytes += "startxref\n" + std::to_string(startxref) + "\n%%EOF\n";
}

// Header, objects, one classic table over 0 and every object, trailer, end.
inline TFile Classic(const std::vector<TObject>& objects, const std::string& trailer,
                     const std::string& header = "%PDF-1.4\n") {
  TFile file;
  file.Bytes = header;
  AppendObjects(file, objects);
  std::vector<int> numbers{0};
  for (const TObject& object : objects) numbers.push_back(object.Num);
  std::sort(numbers.begin(), numbers.end());
  AppendClassicSection(file, numbers, trailer);
  AppendEnd(file, file.XRef);
  return file;
}

// A catalog (1), a page tree root (2) with one page (3) of the given box.
inline std::vector<TObject> OnePage(const std::string& box = "[0 0 612 792]") {
  return {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
          {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
          {3, "<< /Type /Page /Parent 2 0 R /MediaBox " + box + " >>"}};
}

// Big-endian bytes of value in width bytes.
inline std::string BigEndian(uint64_t value, int width) {
  std::string bytes(static_cast<size_t>(width), '\0');
  for (int i = width - 1; i >= 0; --i, value >>= 8) bytes[static_cast<size_t>(i)] = static_cast<char>(value & 0xFF);
  return bytes;
}

// Appends an uncompressed cross-reference stream object num with the given rows (type,
// field 2, field 3) written in widths w, and extra dictionary entries; ends the file.
inline void AppendXRefStream(TFile& file, int num, const std::vector<std::array<uint64_t, 3>>& rows,
                             const std::array<int, 3>& w, const std::string& extra) {
  std::string data;
  for (const auto& row : rows)
    for (int f = 0; f < 3; ++f) data += BigEndian(row[static_cast<size_t>(f)], w[static_cast<size_t>(f)]);
  int64_t at = static_cast<int64_t>(file.Bytes.size());
  file.Offsets[num] = at;
  file.Bytes += std::to_string(num) + " 0 obj\n<< /Type /XRef /W [" + std::to_string(w[0]) + " " +
                std::to_string(w[1]) + " " + std::to_string(w[2]) + "] /Length " + std::to_string(data.size()) + " " +
                extra + " >>\nstream\n" + data + "\nendstream\nendobj\n";
  file.XRef = at;
  AppendEnd(file, at);
}

}  // namespace tinypdf
