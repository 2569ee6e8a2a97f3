// Stream decoding on arbitrary input. The bytes up to the first NUL are a stream dictionary's
// text, the rest the stream's data; references resolve to registered objects so reference
// paths are reached. The raw codecs also get the data directly, and a Flate round trip of it
// must give it back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "uPDFAscii85.h"
#include "uPDFCompress.h"
#include "uPDFFlate.h"
#include "uPDFStructure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string input(reinterpret_cast<const char*>(bytes), size);
  const size_t split = input.find('\0');
  const std::string dictText = split == std::string::npos ? std::string() : input.substr(0, split);
  const std::string data = split == std::string::npos ? input : input.substr(split + 1);

  TPDFStructure structure;
  structure.OnLookup = [&structure](TPDFIndRef*, int32_t objNum, int32_t) -> TPDFObject* {
    const int32_t count = structure.Count();
    return count > 0 && objNum >= 0 ? structure.GetObject(objNum % count) : nullptr;
  };
  TPDFStream* stream = structure.NewStream(data);
  if (auto* dict = As<TPDFDictionary>(structure.Parse(dictText))) stream->SetDictionary(dict);
  (void)stream->GetDecoded();

  (void)DecompressFlate(data);
  (void)DecodeASCII85(data);
  (void)DecodeLZW(data);
  if (data.empty()) return 0;
  const std::string packed = CompressFlate(data);
  if (DecompressFlate(packed) != data) std::abort();
  // The predictors on the data as it stands, with parameters taken from its first bytes.
  if (size >= 4) {
    const int32_t predictor = bytes[0] % 2 ? 2 : 10 + bytes[0] % 6;
    const int32_t colors = static_cast<int8_t>(bytes[1]);
    const int32_t columns = static_cast<int16_t>(bytes[2] | bytes[3] << 8);
    (void)DecompressFlatePredicted(packed, predictor, colors, 8, columns);
  }
  return 0;
}
