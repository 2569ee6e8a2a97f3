#include "uPDFObjectStream.h"

#include <string>

#include "uPDFObjectText.h"
#include "uPDFStructure.h"

std::vector<int32_t> ObjectStreamMembers(std::string_view objectText, int32_t objNum, int32_t genNum) {
  std::vector<int32_t> members;
  const size_t start = ObjectValueStart(objectText, objNum, genNum);
  if (start == std::string_view::npos) return members;
  TPDFStructure pool;
  TPDFTextSpans spans;
  auto* dictionary = As<TPDFDictionary>(pool.Parse(objectText.data() + start, objectText.size() - start, spans));
  if (!dictionary || dictionary->GetTypeName() != "ObjStm") return members;
  const auto* length = As<TPDFNumeric>(dictionary->GetValue("Length"));
  TPDFStreamBounds bounds;
  // A /Length that is no whole number a file could hold counts as none (the data then run to
  // "endstream").
  const bool usable = length && length->Value >= 0 && length->Value < 9007199254740992.0;
  if (!FindStreamData(objectText, start + spans.End, usable ? static_cast<int64_t>(length->Value) : -1, bounds))
    return members;
  TPDFStream* stream = pool.NewStream(std::string());
  stream->Data.assign(objectText.substr(bounds.Start, bounds.Length));
  stream->SetDictionary(dictionary);
  const int32_t count = dictionary->GetInteger("N", 0);
  const int32_t first = dictionary->GetInteger("First", 0);
  if (count <= 0 || first <= 0) return members;
  const std::string decoded = stream->GetDecoded();
  const std::string head = "[ " + decoded.substr(0, std::min<size_t>(decoded.size(), static_cast<size_t>(first))) + " ]";
  const auto* numbers = As<TPDFArray>(pool.Parse(head));
  if (!numbers) return members;
  for (int32_t i = 0; i + 1 < numbers->Count() && static_cast<int32_t>(members.size()) < count; i += 2) {
    const auto* number = As<TPDFNumeric>(numbers->GetItem(i));
    if (!number) break;
    members.push_back(number->AsInteger());
  }
  return members;
}
