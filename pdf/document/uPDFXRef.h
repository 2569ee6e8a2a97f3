#pragma once
// The cross-reference reader of the in-memory document: finds the newest cross-reference
// section of a file, follows the chain of older sections (classic tables, cross-reference
// streams and hybrid files) and reports every entry and every trailer to its owner. It
// decides nothing about which entry wins and keeps no table of its own.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "uPDFFileBytes.h"

class TPDFXRefReader {
 public:
  // Receives one entry: object number, field 2, field 3 and the kind:
  // 'n' in use (offset, generation), 'f' free (next free object, generation),
  // 'c' compressed (object-stream number, index), ' ' a stream entry of another type (0, 0).
  // A classic table passes its kind byte on unchanged.
  using TEntryEvent = std::function<void(int32_t objNum, int64_t field2, int64_t field3, char kind)>;
  // Receives the text form of one trailer dictionary (or cross-reference stream dictionary).
  using TTrailerEvent = std::function<void(const std::string& text)>;

  // Nesting of /XRefStm sections inside classic sections beyond which /XRefStm is not followed.
  static constexpr int kMaxNesting = 64;

  // Binds the reader to the bytes of the whole file; the bytes must outlive the reader.
  explicit TPDFXRefReader(const TPDFFileBytes& stream) : Stream(stream) {}

  // Offset of the newest section: the digits in front of the last "%%EOF" in the file's
  // last 1024 bytes (white space between them skipped); 0 when there are none.
  int64_t FindStartXRef() const;
  // Reads the section at offset and, through /XRefStm and /Prev, every older section; true
  // when the chain ended properly. A chain that comes back to an offset already read stops
  // there: the repeated link counts as read (true) unless that section had failed to read.
  bool ReadSection(int64_t offset);
  // The offsets of the sections the last ReadSection visited, in ascending order.
  std::vector<int64_t> SectionOffsets() const;

  // Up to count bytes from position (a negative position reads from 0; cut at the end); the
  // view may show buffer (see TPDFFileBytes::Read).
  std::string_view ReadAt(int64_t position, int64_t count, std::string& buffer) const {
    return Stream.Read(position, count, buffer);
  }

  const TPDFFileBytes& Stream;
  TEntryEvent OnEntry;
  TTrailerEvent OnTrailer;
  // The reader stops reporting entries after this many (a bound for hostile input).
  int64_t MaxEntries = INT64_MAX;
  // FindStartXRef gives 0 when the last %%EOF in the tail is followed by the start of a newer
  // revision (cut before its own end), which the chain from there would not see.
  bool RejectCutRevision = false;

 private:
  struct TStep {
    bool Ok = false;
    bool HasNext = false;
    int64_t Next = 0;
  };

  bool ReadChain(int64_t offset, int depth);
  TStep ReadOne(int64_t offset, int depth);
  TStep ReadTable(int64_t position, int depth);
  TStep ReadXRefStream(int64_t position);
  void Report(int32_t objNum, int64_t field2, int64_t field3, char kind);

  // Sections already read: true when the section itself read properly.
  std::unordered_map<int64_t, bool> FVisited;
  bool FAborted = false;  // a malformed subsection header ends the whole read
  int64_t FReported = 0;
};
