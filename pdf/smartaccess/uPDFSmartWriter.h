#pragma once
// Writing a PDF file object by object: header, plain indirect objects, one classic
// cross-reference table and the trailer. Used by the file encryption and decryption copy.
#include <cstdint>
#include <string>
#include <vector>

#include "uPlatformFile.h"

class TPDFDictionary;
class TPDFObject;
struct TSmartPDFObjectText;

// Buffered output to a file, counting the bytes written. Errors are remembered and reported
// by Ok(); writing goes on silently after an error so callers check once at the end.
class TByteSink {
 public:
  explicit TByteSink(platform::TFile& file);
  ~TByteSink();
  TByteSink(const TByteSink&) = delete;
  TByteSink& operator=(const TByteSink&) = delete;

  void Write(const char* data, size_t length);
  void Write(const std::string& text) { Write(text.data(), text.size()); }
  // Writes out the buffer; false when any write failed.
  bool Flush();
  bool Ok() const { return FOk; }
  int64_t Position() const { return FPosition; }

 private:
  platform::TFile& FFile;
  std::string FBuffer;
  int64_t FPosition = 0;
  bool FOk = true;
};

class TSmartPDFWriter {
 public:
  explicit TSmartPDFWriter(TByteSink& stream) : Stream(stream) {}

  // "%PDF-" and the version, then a comment line of four bytes above 127 that marks the
  // file as binary.
  void WriteHeader(const std::string& version = "1.4");
  // "N G obj", the text, "endobj"; records the position for the table.
  void WriteObject(int32_t objNum, int32_t genNum, const std::string& text);
  // The same for a value, printed straight to the output (stream data is not copied again).
  void WriteObject(int32_t objNum, int32_t genNum, const TPDFObject* value);
  // An object moved from the text it was read from: the bytes of its value as they are, less
  // what must change: each string printed anew when stringsChanged (its bytes were crypted),
  // a stream's /Length set to its data length where it says otherwise, and a stream's data
  // (as they stand in the object's text) after the dictionary.
  void WriteCopiedObject(int32_t objNum, int32_t genNum, const TSmartPDFObjectText& object, bool stringsChanged);
  // "xref", the table of the recorded objects, "trailer", the trailer, "startxref", "%%EOF".
  // Not full: one subsection per run of consecutive recorded numbers, starting with 0.
  // Full: one subsection 0..max, unrecorded numbers as free entries; /Size set to max + 1.
  void WriteXRefAndTrailer(TPDFDictionary* trailer, int64_t base, bool full);

  TByteSink& Stream;
  std::vector<int64_t> Positions;
  std::vector<int32_t> Generations;
  std::vector<int32_t> Numbers;

 private:
  // One change to an object's text: the bytes from Start to End give way to the bytes of
  // FEditText from TextStart to TextEnd.
  struct TTextEdit {
    size_t Start = 0;
    size_t End = 0;
    size_t TextStart = 0;
    size_t TextEnd = 0;
  };
  void BeginObject(int32_t objNum, int32_t genNum);
  bool AddLengthEdit(const TSmartPDFObjectText& object);

  // Kept from one object to the next, so a copy of many objects allocates for few of them.
  std::vector<TTextEdit> FEdits;
  std::string FEditText;
};
