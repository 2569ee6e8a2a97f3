#pragma once
// PDF values and the pool that owns them.
//
// Every value is created by, registered in and freed by one TPDFStructure, which is also
// the factory of values and the parser of object text. Containers (dictionaries, arrays,
// streams) hold plain non-owning pointers; one value may sit in several containers.
// Values move between structures only as printed text (ToText, then Parse).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TPDFStructure;
class TPDFDictionary;
class TPDFIndRef;

enum class TPDFKind : uint8_t { Name, Dictionary, Null, Boolean, Numeric, String, Array, Stream, IndRef };

class TPDFObject {
 public:
  explicit TPDFObject(TPDFStructure* owner) : Owner(owner) {}
  virtual ~TPDFObject() = default;
  TPDFObject(const TPDFObject&) = delete;
  TPDFObject& operator=(const TPDFObject&) = delete;

  virtual TPDFKind Kind() const = 0;

  // The exact PDF text of the value.
  std::string ToText() const;
  // Appends the PDF text of the value to out.
  virtual void AppendText(std::string& out) const = 0;
  // Requests disposal of this value (containers first request it for their parts).
  virtual void Release();
  // Adds delta to the object number of every reference inside this value.
  virtual void Renumber(int32_t delta);
  // True if this value directly contains that object.
  virtual bool Holds(const TPDFObject* object) const;

  void SetIndirect(int32_t objNum, int32_t genNum) {
    ObjNum = objNum;
    GenNum = genNum;
    IsIndirect = true;
  }

  TPDFStructure* const Owner;
  bool IsIndirect = false;
  int32_t ObjNum = 0;  // number of the indirect object whose value this is
  int32_t GenNum = 0;
};

// Checked downcast by kind: the object as T, or nullptr when it is none or of another class.
template <class T>
T* As(TPDFObject* object) {
  return object && object->Kind() == T::StaticKind ? static_cast<T*>(object) : nullptr;
}
template <class T>
const T* As(const TPDFObject* object) {
  return object && object->Kind() == T::StaticKind ? static_cast<const T*>(object) : nullptr;
}

class TPDFName final : public TPDFObject {
 public:
  static constexpr TPDFKind StaticKind = TPDFKind::Name;
  using TPDFObject::TPDFObject;
  TPDFKind Kind() const override { return StaticKind; }
  void AppendText(std::string& out) const override;

  std::string Value;  // without the solidus
  bool Shared = false;
};

class TPDFNull final : public TPDFObject {
 public:
  static constexpr TPDFKind StaticKind = TPDFKind::Null;
  using TPDFObject::TPDFObject;
  TPDFKind Kind() const override { return StaticKind; }
  void AppendText(std::string& out) const override;
};

class TPDFBoolean final : public TPDFObject {
 public:
  static constexpr TPDFKind StaticKind = TPDFKind::Boolean;
  using TPDFObject::TPDFObject;
  TPDFKind Kind() const override { return StaticKind; }
  void AppendText(std::string& out) const override;

  bool Value = false;
};

class TPDFNumeric final : public TPDFObject {
 public:
  static constexpr TPDFKind StaticKind = TPDFKind::Numeric;
  using TPDFObject::TPDFObject;
  TPDFKind Kind() const override { return StaticKind; }
  void AppendText(std::string& out) const override;
  // The value rounded to the nearest integer, halves to the even neighbour (saturated to 32 bits).
  int32_t AsInteger() const;
  // Remembers the text the value was read from: while Value stays as read, the number prints
  // back as that text (a real keeps all its digits, "+5" stays "+5").
  void KeepSourceText(std::string_view text);

  double Value = 0;

 private:
  struct TSource {
    double Value;
    std::string Text;
  };
  std::unique_ptr<TSource> FSource;  // only for numbers whose own print would differ
};

class TPDFString final : public TPDFObject {
 public:
  static constexpr TPDFKind StaticKind = TPDFKind::String;
  using TPDFObject::TPDFObject;
  TPDFKind Kind() const override { return StaticKind; }
  void AppendText(std::string& out) const override;

  std::string Value;
  uint8_t IsHex = 0;  // 0 literal form, 1 hex form; any other value prints nothing
};

class TPDFIndRef final : public TPDFObject {
 public:
  static constexpr TPDFKind StaticKind = TPDFKind::IndRef;
  using TPDFObject::TPDFObject;
  TPDFKind Kind() const override { return StaticKind; }
  void AppendText(std::string& out) const override;
  void Renumber(int32_t delta) override;
  // The object this reference denotes, through the owner's OnLookup; none without one.
  TPDFObject* Resolve();

  // The referenced object's numbers. (They hide the base's ObjNum/GenNum, which name the
  // indirect object this value itself might be; a reference is never looked at that way.)
  int32_t GenNum = 0;
  int32_t ObjNum = 0;
};

class TPDFDictionary final : public TPDFObject {
 public:
  static constexpr TPDFKind StaticKind = TPDFKind::Dictionary;
  using TPDFObject::TPDFObject;
  TPDFKind Kind() const override { return StaticKind; }
  void AppendText(std::string& out) const override;
  void Release() override;
  void Renumber(int32_t delta) override;
  bool Holds(const TPDFObject* object) const override;

  struct TEntry {
    TPDFName* Key = nullptr;
    TPDFObject* Value = nullptr;
  };

  int32_t Count() const { return static_cast<int32_t>(FEntries.size()); }
  // Key and value at index; both none outside 0..Count-1.
  TEntry GetEntry(int32_t index) const;
  // Index of the last entry whose key equals key byte for byte; -1 if none.
  int32_t IndexOf(const std::string& key) const;
  void Put(TPDFName* key, TPDFObject* value);
  void SetValue(const std::string& keyText, TPDFObject* value);
  TPDFObject* GetValue(const std::string& keyText, bool resolve = false) const;
  int32_t GetInteger(const std::string& keyText, int32_t defaultValue) const;
  std::string GetText(const std::string& keyText) const;
  std::string GetTypeName() const;
  void Remove(const std::string& keyText);
  void Delete(const std::string& keyText);
  void Clear();
  void Assign(TPDFDictionary* other);

 private:
  friend class TPDFObjectParser;  // appends and replaces entries with its own key index
  std::vector<TEntry> FEntries;
};

class TPDFArray final : public TPDFObject {
 public:
  static constexpr TPDFKind StaticKind = TPDFKind::Array;
  using TPDFObject::TPDFObject;
  TPDFKind Kind() const override { return StaticKind; }
  void AppendText(std::string& out) const override;
  void Release() override;
  void Renumber(int32_t delta) override;
  bool Holds(const TPDFObject* object) const override;

  int32_t Count() const { return static_cast<int32_t>(FItems.size()) - FReserve; }
  TPDFObject* GetItem(int32_t index) const;
  void Add(TPDFObject* object);
  void Insert(int32_t index, TPDFObject* object);
  void SetItem(int32_t index, TPDFObject* object);
  void Delete(int32_t index);
  void Remove(TPDFObject* object, bool byText);
  void Move(int32_t from, int32_t to);
  void Clear();
  void Reserve(int32_t n);
  bool ContainsText(const std::string& text) const;
  int32_t IndexOfText(const TPDFObject* object) const;
  // Number of slots, live and reserved (for tests of the growth rule).
  int32_t SlotCount() const { return static_cast<int32_t>(FItems.size()); }

 private:
  std::vector<TPDFObject*> FItems;  // live items first, then FReserve empty slots
  int32_t FReserve = 0;
};

class TPDFStream final : public TPDFObject {
 public:
  static constexpr TPDFKind StaticKind = TPDFKind::Stream;
  // Creates the stream with a new dictionary made through the owner's NewDictionary.
  explicit TPDFStream(TPDFStructure* owner);
  TPDFKind Kind() const override { return StaticKind; }
  void AppendText(std::string& out) const override;
  void Release() override;
  void Renumber(int32_t delta) override;
  bool Holds(const TPDFObject* object) const override;

  const std::string& GetData() const { return Data; }
  void SetData(std::string bytes);
  void SetContent(const std::string& bytes, bool compress);
  // Reads the whole file into Data; false when the file cannot be read (Data unchanged then).
  bool SetDataFromFile(const std::string& fileName, bool compress);
  void SetDictionary(TPDFDictionary* dictionary);
  // The data with the /Filter chain undone (filters that are not supported pass the data on).
  std::string GetDecoded() const;

  TPDFDictionary* Dictionary;
  std::string Data;  // as stored in the file, still encoded by the stream's filters
};

// A read-only view of a four-number array (page boxes). Not a PDF value; the creator owns it.
class TPDFRectangle {
 public:
  explicit TPDFRectangle(TPDFArray* array);
  bool IsValid() const { return FArray != nullptr; }
  double Left() const;
  double Bottom() const;
  double Right() const;
  double Top() const;
  double Width() const { return Right() - Left(); }
  double Height() const { return Top() - Bottom(); }
  // Low 7 bits of selector: 0 Left, 1 Top, 2 Width, 3 Height, 4 Right, 5 Bottom; else 0.
  double GetDimension(int32_t selector) const;

 private:
  TPDFArray* FArray = nullptr;
  TPDFNumeric* FLeft = nullptr;
  TPDFNumeric* FBottom = nullptr;
  TPDFNumeric* FRight = nullptr;
  TPDFNumeric* FTop = nullptr;
};

// Where the parts of a parsed value lie in the text it was parsed from (byte offsets from
// the start of that text), so that a copy can move the bytes and replace only what changes.
struct TPDFTextSpans {
  struct TSpan {
    size_t Start = 0;
    size_t End = 0;  // just after the part
    TPDFObject* Value = nullptr;
  };
  size_t Start = 0;             // the value's first byte (after leading white space and comments)
  size_t End = 0;               // just after the value
  std::vector<TSpan> Strings;   // every string of the value, in text order
  std::vector<TSpan> Entries;   // the values of the outermost dictionary's entries
};

class TPDFStructure {
 public:
  // Returns the object a reference denotes, or none.
  using TLookup = std::function<TPDFObject*(TPDFIndRef* ref, int32_t objNum, int32_t genNum)>;
  // Makes an object indirect; returns its object and generation numbers.
  using TNewIndirect = std::function<std::pair<int32_t, int32_t>(TPDFObject* object)>;

  // Nesting depth at which the parser stops descending and returns the partial value.
  static constexpr int kMaxParseDepth = 500;

  TPDFStructure() = default;
  ~TPDFStructure();
  TPDFStructure(const TPDFStructure&) = delete;
  TPDFStructure& operator=(const TPDFStructure&) = delete;

  void Clear();
  void Register(std::unique_ptr<TPDFObject> object);
  void Reserve(int32_t n);
  int32_t Count() const { return static_cast<int32_t>(FObjects.size()) - FReserve; }
  // Slot at index (0 <= index < slot count), else none.
  TPDFObject* GetObject(int32_t index) const;
  int32_t SlotCount() const { return static_cast<int32_t>(FObjects.size()); }
  void Dispose(TPDFObject* object);

  TPDFDictionary* NewDictionary();
  TPDFArray* NewArray();
  TPDFArray* NewArrayOf(const std::vector<TPDFObject*>& objects);
  TPDFArray* NewIntegerArray(const std::vector<int32_t>& integers);
  TPDFArray* NewRealArray(const std::vector<double>& doubles);
  TPDFName* NewName(const std::string& text);
  TPDFName* NewName(std::string&& text);
  TPDFNumeric* NewNumeric(double value);
  TPDFString* NewString(const std::string& bytes, uint8_t isHex);
  TPDFString* NewString(std::string&& bytes, uint8_t isHex);
  TPDFBoolean* NewBoolean(bool value);
  TPDFNull* NewNull();
  TPDFIndRef* NewIndRef(int32_t objNum, int32_t genNum);
  TPDFStream* NewStream(const std::string& data);

  // A shared key name: one object per text for the listed common keys, else a new one.
  TPDFName* KeyName(const std::string& text);
  // The first registered name whose value equals text, or none.
  TPDFName* FindName(const std::string& text) const;
  static bool IsSharedKeyName(const std::string& text);

  void ShiftReferences(int32_t delta, bool zeroGenerations);

  // Reads the first PDF object of text; none when there is none. An integer wider than 32 bits
  // keeps its value (exactly up to 2^53); the two numbers of a reference read as 0 when they do
  // not fit 32 bits.
  TPDFObject* Parse(const std::string& text);
  TPDFObject* Parse(const char* text, size_t length);
  // The same, telling where the value ended and where its strings and entries lie.
  TPDFObject* Parse(const char* text, size_t length, TPDFTextSpans& spans);

  TLookup OnLookup;
  TNewIndirect OnNewIndirect;
  int32_t Precision = 4;

 private:
  template <class T, class... Args>
  T* Make(Args&&... args);

  std::vector<std::unique_ptr<TPDFObject>> FObjects;  // registered objects, then FReserve empty slots
  int32_t FReserve = 0;
  // The shared name object of each listed key text met so far (same answer as FindName,
  // without a scan of the pool per key).
  std::vector<std::pair<std::string, TPDFName*>> FSharedNames;
};
