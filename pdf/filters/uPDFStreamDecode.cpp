// TPDFStream::GetDecoded: undoes a stream's /Filter chain with its decode parameters.
#include <vector>

#include "uPDFAscii85.h"
#include "uPDFCompress.h"
#include "uPDFFlate.h"
#include "uPDFStructure.h"

namespace {

// The filter names in order: one name, or the names among an array's items (not resolved).
std::vector<std::string> FilterNames(const TPDFObject* filter) {
  std::vector<std::string> names;
  if (const auto* name = As<TPDFName>(filter)) {
    names.push_back(name->Value);
  } else if (const auto* array = As<TPDFArray>(filter)) {
    for (int32_t i = 0; i < array->Count(); ++i)
      if (const auto* item = As<TPDFName>(array->GetItem(i))) names.push_back(item->Value);
  }
  return names;
}

// One parameter dictionary (or none) per filter: a dictionary belongs to the first filter,
// an array gives its dictionary items (not resolved) by position.
std::vector<const TPDFDictionary*> FilterParameters(const TPDFObject* parms, size_t filterCount) {
  std::vector<const TPDFDictionary*> slots(filterCount, nullptr);
  if (filterCount == 0) return slots;
  if (const auto* dict = As<TPDFDictionary>(parms)) {
    slots[0] = dict;
  } else if (const auto* array = As<TPDFArray>(parms)) {
    const size_t count = array->Count() > 0 ? static_cast<size_t>(array->Count()) : 0;
    for (size_t i = 0; i < count && i < filterCount; ++i)
      slots[i] = As<TPDFDictionary>(array->GetItem(static_cast<int32_t>(i)));
  }
  return slots;
}

std::string ApplyFilter(const std::string& name, const TPDFDictionary* parms, const std::string& data) {
  if (name == "FlateDecode") {
    if (!parms) return DecompressFlate(data);
    return DecompressFlatePredicted(data, parms->GetInteger("Predictor", 1), parms->GetInteger("Colors", 1),
                                    parms->GetInteger("BitsPerComponent", 8), parms->GetInteger("Columns", 1));
  }
  if (name == "ASCII85Decode") return DecodeASCII85(data);
  if (name == "LZWDecode") return DecodeLZW(data);
  return data;  // filters this library does not decode pass the data on
}

}  // namespace

std::string TPDFStream::GetDecoded() const {
  if (!Dictionary) return Data;
  const std::vector<std::string> names = FilterNames(Dictionary->GetValue("Filter", true));
  if (names.empty()) return Data;

  // /DP is the older spelling, read only when /DecodeParms is not there at all.
  const TPDFObject* parms = Dictionary->IndexOf("DecodeParms") >= 0 ? Dictionary->GetValue("DecodeParms", true)
                                                                      : Dictionary->GetValue("DP", true);
  const std::vector<const TPDFDictionary*> slots = FilterParameters(parms, names.size());

  std::string data = Data;
  for (size_t i = 0; i < names.size(); ++i) data = ApplyFilter(names[i], slots[i], data);
  return data;
}
