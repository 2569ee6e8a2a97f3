// Encrypting arbitrary bytes as a file (EncryptFile) and decrypting that copy again
// (DecryptFile): when both report success, the decrypted copy must hold the source's
// objects. Every object of the source (up to a bound) that the direct-access reader reads as
// a value must read from the copy as a value of the same kind that prints the same; a
// stream's data must be the same bytes and its dictionary must print the same without
// /Length (a copy may set a wrong length right; the data show whether it did). Object streams
// and cross-reference streams are left out (a copy writes their members as objects of their
// own and keeps one table), and so is the encryption dictionary the round trip added.
// A difference stops the run with a trap. Seeded from tests/data.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "uNorvex.h"
#include "uPDFSmartAccess.h"
#include "uPlatformFile.h"

namespace {

// Objects compared per input, so each input runs fast.
constexpr int32_t kMaxCompared = 2000;

// The folder of this process's files, made once under $TMPDIR (or /tmp) and removed at exit.
const std::string& Folder() {
  static const std::string folder = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/fuzz_copy.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) std::abort();
    return std::string(name.data());
  }();
  static const bool cleanup = [] {
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Folder(), ec);
    });
    return true;
  }();
  (void)cleanup;
  return folder;
}

void WriteAll(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) std::abort();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The dictionary of a dictionary or stream value; none for other values.
TPDFDictionary* DictionaryOf(TPDFObject* value) {
  if (auto* stream = As<TPDFStream>(value)) return stream->Dictionary;
  return As<TPDFDictionary>(value);
}

// What the value holds, for comparison: its printed text, a stream's dictionary printed
// without /Length followed by its data bytes.
std::string Held(TPDFObject* value) {
  auto* stream = As<TPDFStream>(value);
  if (!stream) return value->ToText();
  stream->Dictionary->Remove("Length");
  std::string text = stream->Dictionary->ToText();
  text += "\nstream data:\n";
  text += stream->Data;
  return text;
}

[[noreturn]] void Fault(int32_t number, const char* what, const std::string& source, const std::string& copy) {
  std::fprintf(stderr, "fuzz_copy: object %d %s\n--- source\n%.2000s\n--- copy\n%.2000s\n", number, what,
               source.c_str(), copy.c_str());
  __builtin_trap();
}

// The number of the encryption dictionary the encrypted copy names in its trailer; 0 when none.
int32_t EncryptNumber(const std::string& encrypted) {
  platform::TMemorySource bytes(encrypted.data(), encrypted.size());
  TSmartPDFReader reader(bytes);
  const TPDFIndRef* ref = reader.TrailerReference("Encrypt");
  return ref ? ref->ObjNum : 0;
}

void Compare(const std::string& sourceBytes, const std::string& copyBytes, int32_t skipped) {
  platform::TMemorySource sourceStream(sourceBytes.data(), sourceBytes.size());
  platform::TMemorySource copyStream(copyBytes.data(), copyBytes.size());
  TSmartPDFReader source(sourceStream);
  TSmartPDFReader copy(copyStream);
  if (copy.Status != TSmartPDFReader::kOpened) Fault(0, "(the copy does not open)", "", "");
  int32_t compared = 0;
  for (int32_t n = 1; n <= source.MaxObjectNumber() && compared < kMaxCompared; ++n) {
    if (n == skipped) continue;
    TPDFStructure sourcePool;
    TPDFObject* original = source.FetchObject(n, &sourcePool);
    if (!original) continue;
    if (const TPDFDictionary* dictionary = DictionaryOf(original)) {
      const std::string type = dictionary->GetTypeName();
      if (type == "ObjStm" || type == "XRef") continue;
    }
    ++compared;
    TPDFStructure copyPool;
    TPDFObject* copied = copy.FetchObject(n, &copyPool);
    const std::string expected = Held(original);
    if (!copied) Fault(n, "is missing from the copy", expected, "");
    if (copied->Kind() != original->Kind()) Fault(n, "changed its kind", expected, Held(copied));
    const std::string found = Held(copied);
    if (found != expected) Fault(n, "differs", expected, found);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& folder = Folder();
  const std::string in = folder + "/in.pdf", enc = folder + "/enc.pdf", dec = folder + "/dec.pdf";
  std::error_code ec;
  std::filesystem::remove(enc, ec);
  std::filesystem::remove(dec, ec);
  WriteAll(in, data, size);
  TNorvex norvex;
  const int32_t permissions = norvex.Permissions(1, 1, 1, 1, 1, 1, 1, 1);
  if (norvex.EncryptFile(in, enc, "o", "u", 1, permissions) != 1) return 0;
  if (norvex.DecryptFile(enc, dec, "u") != 1) return 0;
  Compare(std::string(reinterpret_cast<const char*>(data), size), ReadAll(dec), EncryptNumber(ReadAll(enc)));
  return 0;
}
