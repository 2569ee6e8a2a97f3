// The pool of values, its factories, and the operations of the values and containers.
#include "uPDFStructure.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <string_view>

#include "uPDFFlate.h"
#include "uPDFNesting.h"

namespace {

constexpr std::string_view kSharedKeyNames =
    "[MediaBox][Length][CropBox][Type][Subtype][Name][Pages][Page][Parent][Font][Contents]"
    "[BaseFont][PDF][Text][ImageB][ImageC][ImageI][Resources][ProcSet][ExtGState][Type1]"
    "[TrueType][WinAnsiEncoding][Filter][FlateDecode][Annot][URI][Goto][XYZ][Zelk]";

// Object numbers wrap instead of overflowing when shifted by a caller's delta.
int32_t AddWrapping(int32_t value, int32_t delta) {
  return static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(delta));
}

}  // namespace

// ---- TPDFObject ----

std::string TPDFObject::ToText() const {
  std::string out;
  AppendText(out);
  return out;
}

void TPDFObject::Release() { Owner->Dispose(this); }

void TPDFObject::Renumber(int32_t) {}

bool TPDFObject::Holds(const TPDFObject*) const { return false; }

int32_t TPDFNumeric::AsInteger() const {
  if (std::isnan(Value)) return 0;
  double whole = std::floor(Value);
  double fraction = Value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  if (whole >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (whole <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(whole);
}

void TPDFIndRef::Renumber(int32_t delta) { ObjNum = AddWrapping(ObjNum, delta); }

TPDFObject* TPDFIndRef::Resolve() {
  return Owner->OnLookup ? Owner->OnLookup(this, ObjNum, GenNum) : nullptr;
}

// ---- TPDFDictionary ----

void TPDFDictionary::Release() {
  pdfsyntax::TNestingGuard guard;
  if (!guard.TooDeep()) {
    for (const TEntry& entry : FEntries) {
      if (entry.Key) entry.Key->Release();
      if (entry.Value) entry.Value->Release();
    }
  }
  TPDFObject::Release();
}

void TPDFDictionary::Renumber(int32_t delta) {
  pdfsyntax::TNestingGuard guard;
  if (guard.TooDeep()) return;
  for (const TEntry& entry : FEntries)
    if (entry.Value) entry.Value->Renumber(delta);
}

bool TPDFDictionary::Holds(const TPDFObject* object) const {
  return std::any_of(FEntries.begin(), FEntries.end(),
                     [object](const TEntry& e) { return e.Key == object || e.Value == object; });
}

TPDFDictionary::TEntry TPDFDictionary::GetEntry(int32_t index) const {
  if (index < 0 || index >= Count()) return {};
  return FEntries[static_cast<size_t>(index)];
}

int32_t TPDFDictionary::IndexOf(const std::string& key) const {
  for (int32_t i = Count() - 1; i >= 0; --i) {
    const TPDFName* name = FEntries[static_cast<size_t>(i)].Key;
    if (name && name->Value == key) return i;
  }
  return -1;
}

void TPDFDictionary::Put(TPDFName* key, TPDFObject* value) {
  if (!key) return;
  int32_t index = IndexOf(key->Value);
  if (index >= 0)
    FEntries[static_cast<size_t>(index)] = {key, value};
  else
    FEntries.push_back({key, value});
}

void TPDFDictionary::SetValue(const std::string& keyText, TPDFObject* value) {
  if (value == this) return;
  Put(Owner->KeyName(keyText), value);
}

TPDFObject* TPDFDictionary::GetValue(const std::string& keyText, bool resolve) const {
  int32_t index = IndexOf(keyText);
  if (index < 0) return nullptr;
  TPDFObject* value = FEntries[static_cast<size_t>(index)].Value;
  if (resolve) {
    if (TPDFIndRef* ref = As<TPDFIndRef>(value)) return ref->Resolve();
  }
  return value;
}

int32_t TPDFDictionary::GetInteger(const std::string& keyText, int32_t defaultValue) const {
  const TPDFNumeric* number = As<TPDFNumeric>(GetValue(keyText, true));
  return number ? number->AsInteger() : defaultValue;
}

std::string TPDFDictionary::GetText(const std::string& keyText) const {
  TPDFObject* value = GetValue(keyText, true);
  if (const TPDFName* name = As<TPDFName>(value)) return name->Value;
  if (const TPDFString* string = As<TPDFString>(value)) return string->Value;
  return {};
}

std::string TPDFDictionary::GetTypeName() const {
  const TPDFName* name = As<TPDFName>(GetValue("Type"));
  return name ? name->Value : std::string();
}

void TPDFDictionary::Remove(const std::string& keyText) {
  int32_t index = IndexOf(keyText);
  if (index >= 0) FEntries.erase(FEntries.begin() + index);
}

void TPDFDictionary::Delete(const std::string& keyText) {
  int32_t index = IndexOf(keyText);
  if (index < 0) return;
  TEntry entry = FEntries[static_cast<size_t>(index)];
  if (As<TPDFDictionary>(entry.Value) || As<TPDFArray>(entry.Value)) entry.Value->Release();
  if (!TPDFStructure::IsSharedKeyName(keyText)) Owner->Dispose(entry.Key);
  FEntries.erase(FEntries.begin() + index);
}

void TPDFDictionary::Clear() {
  for (const TEntry& entry : FEntries) {
    Owner->Dispose(entry.Key);
    Owner->Dispose(entry.Value);
  }
  FEntries.clear();
}

void TPDFDictionary::Assign(TPDFDictionary* other) {
  if (!other || other == this) return;
  if (other->Owner == Owner) {
    FEntries = other->FEntries;
    return;
  }
  if (TPDFDictionary* copy = As<TPDFDictionary>(Owner->Parse(other->ToText()))) Assign(copy);
}

// ---- TPDFArray ----

// Items are disposed, not released: Dispose never descends, so this walk has no depth to bound.
void TPDFArray::Release() {
  for (TPDFObject* item : FItems)
    if (item) Owner->Dispose(item);
  TPDFObject::Release();
}

void TPDFArray::Renumber(int32_t delta) {
  pdfsyntax::TNestingGuard guard;
  if (guard.TooDeep()) return;
  for (int32_t i = 0; i < Count(); ++i)
    if (TPDFObject* item = FItems[static_cast<size_t>(i)]) item->Renumber(delta);
}

bool TPDFArray::Holds(const TPDFObject* object) const {
  return object && std::find(FItems.begin(), FItems.end(), object) != FItems.end();
}

TPDFObject* TPDFArray::GetItem(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return FItems[static_cast<size_t>(index)];
}

void TPDFArray::Add(TPDFObject* object) {
  if (FReserve > 0) {
    FItems[static_cast<size_t>(Count())] = object;
    --FReserve;
  } else {
    FItems.push_back(object);
  }
}

void TPDFArray::Insert(int32_t index, TPDFObject* object) {
  if (index < 0 || index > Count()) return;
  if (FReserve > 0) {
    auto first = FItems.begin() + index;
    auto last = FItems.begin() + Count();
    std::move_backward(first, last, last + 1);
    *first = object;
    --FReserve;
  } else {
    FItems.insert(FItems.begin() + index, object);
  }
}

void TPDFArray::SetItem(int32_t index, TPDFObject* object) {
  if (index < 0 || index >= Count()) return;
  Owner->Dispose(FItems[static_cast<size_t>(index)]);
  FItems[static_cast<size_t>(index)] = object;
}

void TPDFArray::Delete(int32_t index) {
  if (index < 0 || index >= Count()) return;
  Owner->Dispose(FItems[static_cast<size_t>(index)]);
  FItems.erase(FItems.begin() + index);
}

void TPDFArray::Remove(TPDFObject* object, bool byText) {
  if (!object) return;
  std::string text = byText ? object->ToText() : std::string();
  for (int32_t i = 0; i < Count(); ++i) {
    TPDFObject* item = FItems[static_cast<size_t>(i)];
    if (byText ? (item && item->ToText() == text) : item == object) {
      Delete(i);
      return;
    }
  }
}

void TPDFArray::Move(int32_t from, int32_t to) {
  if (from < 0 || from >= Count() || to < 0 || to >= Count() || from == to) return;
  auto f = FItems.begin() + from;
  auto t = FItems.begin() + to;
  if (from < to)
    std::rotate(f, f + 1, t + 1);
  else
    std::rotate(t, f, f + 1);
}

void TPDFArray::Clear() {
  for (TPDFObject* item : FItems)
    if (item) Owner->Dispose(item);
  FItems.clear();
  FReserve = 0;
}

void TPDFArray::Reserve(int32_t n) {
  if (FReserve >= n) return;
  FItems.resize(FItems.size() + static_cast<size_t>(n - FReserve), nullptr);
  FReserve = n;
}

bool TPDFArray::ContainsText(const std::string& text) const {
  for (int32_t i = 0; i < Count(); ++i) {
    const TPDFObject* item = FItems[static_cast<size_t>(i)];
    if (item && item->ToText() == text) return true;
  }
  return false;
}

int32_t TPDFArray::IndexOfText(const TPDFObject* object) const {
  if (!object) return -1;
  std::string text = object->ToText();
  for (int32_t i = Count() - 1; i >= 0; --i) {
    const TPDFObject* item = FItems[static_cast<size_t>(i)];
    if (item && item->ToText() == text) return i;
  }
  return -1;
}

// ---- TPDFStream ----

TPDFStream::TPDFStream(TPDFStructure* owner) : TPDFObject(owner), Dictionary(owner->NewDictionary()) {}

void TPDFStream::Release() {
  Dictionary->Release();
  TPDFObject::Release();
}

void TPDFStream::Renumber(int32_t delta) { Dictionary->Renumber(delta); }

bool TPDFStream::Holds(const TPDFObject* object) const { return Dictionary->Holds(object); }

void TPDFStream::SetData(std::string bytes) {
  Data = std::move(bytes);
  const double length = static_cast<double>(Data.size());
  if (TPDFNumeric* number = As<TPDFNumeric>(Dictionary->GetValue("Length")))
    number->Value = length;
  else
    Dictionary->SetValue("Length", Owner->NewNumeric(length));
}

void TPDFStream::SetContent(const std::string& bytes, bool compress) {
  if (compress) {
    SetData(CompressFlate(bytes));
    Dictionary->Delete("Filter");
    Dictionary->SetValue("Filter", Owner->NewName("FlateDecode"));
  } else {
    SetData(bytes);
    Dictionary->Delete("Filter");
  }
}

bool TPDFStream::SetDataFromFile(const std::string& fileName, bool compress) {
  std::ifstream file(fileName, std::ios::binary);
  if (!file) return false;
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return false;
  if (!bytes.empty()) {
    Dictionary->Delete("Filter");
    if (compress) {
      bytes = CompressFlate(bytes);
      Dictionary->SetValue("Filter", Owner->NewName("FlateDecode"));
    }
  }
  SetData(std::move(bytes));
  return true;
}

void TPDFStream::SetDictionary(TPDFDictionary* dictionary) {
  // The old dictionary is let go of before it is disposed, so that it can be freed; the
  // same dictionary again, or none, would leave the stream pointing at freed memory.
  if (!dictionary || dictionary == Dictionary) return;
  TPDFDictionary* old = Dictionary;
  Dictionary = dictionary;
  Owner->Dispose(old);
}

// ---- TPDFRectangle ----

TPDFRectangle::TPDFRectangle(TPDFArray* array) {
  if (!array || array->Count() != 4) return;
  TPDFNumeric* items[4];
  for (int32_t i = 0; i < 4; ++i) {
    items[i] = As<TPDFNumeric>(array->GetItem(i));
    if (!items[i]) return;
  }
  FArray = array;
  FLeft = items[0];
  FBottom = items[1];
  FRight = items[2];
  FTop = items[3];
  if (FRight->Value < FLeft->Value) std::swap(FLeft, FRight);
  if (FTop->Value < FBottom->Value) std::swap(FBottom, FTop);
}

double TPDFRectangle::Left() const { return FLeft ? FLeft->Value : 0; }
double TPDFRectangle::Bottom() const { return FBottom ? FBottom->Value : 0; }
double TPDFRectangle::Right() const { return FRight ? FRight->Value : 0; }
double TPDFRectangle::Top() const { return FTop ? FTop->Value : 0; }

double TPDFRectangle::GetDimension(int32_t selector) const {
  switch (selector & 0x7F) {
    case 0: return Left();
    case 1: return Top();
    case 2: return Width();
    case 3: return Height();
    case 4: return Right();
    case 5: return Bottom();
    default: return 0;
  }
}

// ---- TPDFStructure: the pool ----

TPDFStructure::~TPDFStructure() = default;

void TPDFStructure::Clear() {
  FSharedNames.clear();
  FObjects.clear();
  FReserve = 0;
  Precision = 4;
}

void TPDFStructure::Register(std::unique_ptr<TPDFObject> object) {
  if (!object) return;  // every live slot holds an object
  if (FReserve < 100) Reserve(1000);
  FObjects[static_cast<size_t>(Count())] = std::move(object);
  --FReserve;
}

void TPDFStructure::Reserve(int32_t n) {
  if (FReserve >= n) return;
  FObjects.resize(FObjects.size() + static_cast<size_t>(n - FReserve));
  FReserve = n;
}

TPDFObject* TPDFStructure::GetObject(int32_t index) const {
  if (index < 0 || index >= SlotCount()) return nullptr;
  return FObjects[static_cast<size_t>(index)].get();
}

void TPDFStructure::Dispose(TPDFObject* object) {
  if (!object) return;
  int32_t index = Count() - 1;
  while (index >= 0 && FObjects[static_cast<size_t>(index)].get() != object) --index;
  if (index < 0) return;
  if (const TPDFName* name = As<TPDFName>(object); name && name->Shared) return;
  for (int32_t i = 0; i < Count(); ++i) {
    const TPDFObject* holder = FObjects[static_cast<size_t>(i)].get();
    if (holder->Holds(object)) return;
    // A stream does not count as holding its dictionary, yet freeing that dictionary would
    // leave the stream pointing at freed memory: a stream's current dictionary stays.
    if (const TPDFStream* stream = As<TPDFStream>(holder); stream && stream->Dictionary == object) return;
  }
  FObjects.erase(FObjects.begin() + index);
}

// ---- TPDFStructure: factories ----

template <class T, class... Args>
T* TPDFStructure::Make(Args&&... args) {
  auto object = std::make_unique<T>(this, std::forward<Args>(args)...);
  T* result = object.get();
  Register(std::move(object));
  return result;
}

TPDFDictionary* TPDFStructure::NewDictionary() { return Make<TPDFDictionary>(); }

TPDFArray* TPDFStructure::NewArray() { return Make<TPDFArray>(); }

TPDFArray* TPDFStructure::NewArrayOf(const std::vector<TPDFObject*>& objects) {
  TPDFArray* array = NewArray();
  for (TPDFObject* object : objects) array->Add(object);
  return array;
}

TPDFArray* TPDFStructure::NewIntegerArray(const std::vector<int32_t>& integers) {
  std::vector<TPDFObject*> numbers;
  numbers.reserve(integers.size());
  for (int32_t value : integers) numbers.push_back(NewNumeric(value));
  return NewArrayOf(numbers);
}

TPDFArray* TPDFStructure::NewRealArray(const std::vector<double>& doubles) {
  std::vector<TPDFObject*> numbers;
  numbers.reserve(doubles.size());
  for (double value : doubles) numbers.push_back(NewNumeric(value));
  return NewArrayOf(numbers);
}

TPDFName* TPDFStructure::NewName(const std::string& text) { return NewName(std::string(text)); }

TPDFName* TPDFStructure::NewName(std::string&& text) {
  TPDFName* name = Make<TPDFName>();
  name->Value = std::move(text);
  return name;
}

TPDFNumeric* TPDFStructure::NewNumeric(double value) {
  TPDFNumeric* number = Make<TPDFNumeric>();
  number->Value = value;
  return number;
}

TPDFString* TPDFStructure::NewString(const std::string& bytes, uint8_t isHex) {
  return NewString(std::string(bytes), isHex);
}

TPDFString* TPDFStructure::NewString(std::string&& bytes, uint8_t isHex) {
  TPDFString* string = Make<TPDFString>();
  string->Value = std::move(bytes);
  string->IsHex = isHex;
  return string;
}

TPDFBoolean* TPDFStructure::NewBoolean(bool value) {
  TPDFBoolean* boolean = Make<TPDFBoolean>();
  boolean->Value = value;
  return boolean;
}

TPDFNull* TPDFStructure::NewNull() { return Make<TPDFNull>(); }

TPDFIndRef* TPDFStructure::NewIndRef(int32_t objNum, int32_t genNum) {
  TPDFIndRef* ref = Make<TPDFIndRef>();
  ref->ObjNum = objNum;
  ref->GenNum = genNum;
  return ref;
}

TPDFStream* TPDFStructure::NewStream(const std::string& data) {
  TPDFStream* stream = Make<TPDFStream>();
  stream->Data = data;
  stream->Dictionary->SetValue("Length", NewNumeric(static_cast<double>(data.size())));
  return stream;
}

// ---- TPDFStructure: names and references ----

bool TPDFStructure::IsSharedKeyName(const std::string& text) {
  // A plain substring test of "[" + text + "]" on the list, without building that text.
  for (size_t at = kSharedKeyNames.find(text); at != std::string_view::npos;
       at = kSharedKeyNames.find(text, at + 1)) {
    if (at > 0 && kSharedKeyNames[at - 1] == '[' && at + text.size() < kSharedKeyNames.size() &&
        kSharedKeyNames[at + text.size()] == ']')
      return true;
  }
  return false;
}

TPDFName* TPDFStructure::FindName(const std::string& text) const {
  for (int32_t i = 0; i < Count(); ++i) {
    TPDFName* name = As<TPDFName>(FObjects[static_cast<size_t>(i)].get());
    if (name && name->Value == text) return name;
  }
  return nullptr;
}

TPDFName* TPDFStructure::KeyName(const std::string& text) {
  TPDFName* name = nullptr;
  if (IsSharedKeyName(text)) {
    auto cached = std::find_if(FSharedNames.begin(), FSharedNames.end(),
                               [&text](const auto& entry) { return entry.first == text; });
    // Shared names are never disposed, so a cached one stays registered until Clear.
    if (cached != FSharedNames.end() && cached->second->Value == text) {
      name = cached->second;
    } else {
      name = FindName(text);
      if (!name) name = NewName(text);
      if (cached != FSharedNames.end())
        cached->second = name;
      else
        FSharedNames.emplace_back(text, name);
    }
  } else {
    name = NewName(text);
  }
  name->Shared = true;
  return name;
}

void TPDFStructure::ShiftReferences(int32_t delta, bool zeroGenerations) {
  for (const auto& object : FObjects) {
    if (TPDFIndRef* ref = As<TPDFIndRef>(object.get())) {
      ref->ObjNum = AddWrapping(ref->ObjNum, delta);
      if (zeroGenerations) ref->GenNum = 0;
    }
  }
}
