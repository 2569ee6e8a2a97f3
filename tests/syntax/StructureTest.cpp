#include <gtest/gtest.h>

#include "TestSupport.h"
#include "uPDFFlate.h"
#include "uPDFStructure.h"

namespace {

TEST(Pool, GrowsInStepsOfAThousandWhenFewerThanHundredSlotsAreFree) {
  TPDFStructure s;
  EXPECT_EQ(s.SlotCount(), 0);
  s.NewNull();
  EXPECT_EQ(s.SlotCount(), 1000);
  for (int i = 2; i <= 901; ++i) s.NewNull();
  EXPECT_EQ(s.SlotCount(), 1000);
  s.NewNull();  // the 902nd finds only 99 free slots
  EXPECT_EQ(s.SlotCount(), 1901);
  EXPECT_EQ(s.Count(), 902);
  EXPECT_EQ(s.GetObject(901)->Kind(), TPDFKind::Null);
  EXPECT_EQ(s.GetObject(902), nullptr);
  EXPECT_EQ(s.GetObject(1901), nullptr);
  EXPECT_EQ(s.GetObject(-1), nullptr);
  s.Clear();
  EXPECT_EQ(s.Count(), 0);
  EXPECT_EQ(s.SlotCount(), 0);
}

TEST(Pool, DisposeFreesOnlyWhatNothingHolds) {
  TPDFStructure s;
  TPDFNumeric* held = s.NewNumeric(1);
  TPDFArray* array = s.NewArrayOf({held});
  TPDFNumeric* loose = s.NewNumeric(2);
  ASSERT_EQ(s.Count(), 3);

  s.Dispose(held);
  EXPECT_EQ(s.Count(), 3);
  s.Dispose(loose);
  EXPECT_EQ(s.Count(), 2);
  EXPECT_EQ(s.GetObject(0), held);
  EXPECT_EQ(s.GetObject(1), array);

  TPDFStructure other;
  s.Dispose(other.NewNull());  // not registered here
  EXPECT_EQ(s.Count(), 2);
  EXPECT_EQ(other.Count(), 1);

  TPDFName* key = s.KeyName("Type");
  s.Dispose(key);  // shared names stay
  EXPECT_EQ(s.Count(), 3);
}

TEST(Pool, ReleasingAContainerFreesItButKeepsItsParts) {
  TPDFStructure s;
  TPDFDictionary* d = s.NewDictionary();
  d->SetValue("A", s.NewNumeric(1));
  d->SetValue("B", s.NewArrayOf({s.NewNull()}));
  const int32_t parts = s.Count() - 1;
  d->Release();
  EXPECT_EQ(s.Count(), parts);
  for (int32_t i = 0; i < s.Count(); ++i) EXPECT_NE(s.GetObject(i), d);

  // A dictionary that sits in an array is not freed by its own release.
  TPDFDictionary* inner = s.NewDictionary();
  s.NewArrayOf({inner});
  const int32_t before = s.Count();
  inner->Release();
  EXPECT_EQ(s.Count(), before);
}

TEST(Pool, StreamKeepsItsDictionaryUntilReplaced) {
  TPDFStructure s;
  TPDFStream* stream = s.NewStream("abc");
  TPDFArray* holder = s.NewArrayOf({stream});
  stream->Release();  // held by the array: neither the stream nor its dictionary may go
  EXPECT_EQ(stream->Dictionary->GetInteger("Length", -1), 3);
  EXPECT_EQ(holder->GetItem(0), stream);

  TPDFDictionary* old = stream->Dictionary;
  const int32_t before = s.Count();
  stream->SetDictionary(old);  // the same one again changes nothing
  EXPECT_EQ(s.Count(), before);
  stream->SetDictionary(nullptr);
  EXPECT_EQ(stream->Dictionary, old);
  TPDFDictionary* fresh = s.NewDictionary();
  stream->SetDictionary(fresh);
  EXPECT_EQ(stream->Dictionary, fresh);
  EXPECT_EQ(s.Count(), before);  // one new, the old one freed
  EXPECT_EQ(stream->ToText(), "<<\n>>\nstream\nabc\nendstream");
}

TEST(SharedNames, ListedKeysShareOneObjectOthersAreNewButMarked) {
  TPDFStructure s;
  TPDFDictionary* a = s.NewDictionary();
  TPDFDictionary* b = s.NewDictionary();
  a->SetValue("Type", s.NewName("Page"));
  b->SetValue("Type", s.NewName("Pages"));
  EXPECT_EQ(a->GetEntry(0).Key, b->GetEntry(0).Key);
  EXPECT_TRUE(a->GetEntry(0).Key->Shared);

  a->SetValue("Custom", s.NewNull());
  b->SetValue("Custom", s.NewNull());
  EXPECT_NE(a->GetEntry(1).Key, b->GetEntry(1).Key);
  EXPECT_TRUE(a->GetEntry(1).Key->Shared);
  EXPECT_TRUE(b->GetEntry(1).Key->Shared);

  // A listed name made earlier by other means becomes the shared one.
  TPDFStructure t;
  TPDFName* parsed = t.NewName("Length");
  EXPECT_EQ(t.KeyName("Length"), parsed);
  EXPECT_TRUE(parsed->Shared);
  EXPECT_EQ(t.KeyName("Length"), parsed);
  EXPECT_EQ(t.FindName("Length"), parsed);
  EXPECT_EQ(t.FindName("Nothing"), nullptr);

  // Clearing the structure forgets the shared names with everything else.
  t.Clear();
  TPDFName* fresh = t.KeyName("Length");
  EXPECT_EQ(t.Count(), 1);
  EXPECT_EQ(t.GetObject(0), fresh);
  EXPECT_EQ(fresh->Value, "Length");
}

TEST(SharedNames, MembershipIsASubstringTestOnTheList) {
  const struct {
    const char* Text;
    bool Listed;
  } cases[] = {{"Type", true},      {"MediaBox", true}, {"Zelk", true}, {"XYZ", true},
               {"type", false},     {"Typ", false},     {"", false},    {"Kids", false},
               {"Type][Subtype", true}};
  for (const auto& c : cases) EXPECT_EQ(TPDFStructure::IsSharedKeyName(c.Text), c.Listed) << c.Text;
}

TEST(Dictionary, PutKeepsPositionAndLookupsFollowTheLastKey) {
  TPDFStructure s;
  TPDFDictionary* d = s.NewDictionary();
  TPDFName* firstKey = s.NewName("A");
  d->Put(firstKey, s.NewNumeric(1));
  d->Put(s.NewName("B"), s.NewNumeric(2));
  TPDFName* secondKey = s.NewName("A");
  TPDFNumeric* three = s.NewNumeric(3);
  d->Put(secondKey, three);
  ASSERT_EQ(d->Count(), 2);
  EXPECT_EQ(d->GetEntry(0).Key, secondKey);
  EXPECT_EQ(d->GetEntry(0).Value, three);
  EXPECT_EQ(d->GetEntry(2).Key, nullptr);
  EXPECT_EQ(d->IndexOf("a"), -1);  // case matters

  d->SetValue("Self", d);  // refused
  EXPECT_EQ(d->IndexOf("Self"), -1);
  d->Remove("A");
  EXPECT_EQ(d->IndexOf("B"), 0);
}

TEST(Dictionary, TypedGettersResolveOneReference) {
  TPDFStructure s;
  TPDFDictionary* d = s.NewDictionary();
  TPDFIndRef* toNumber = s.NewIndRef(5, 0);
  TPDFIndRef* toRef = s.NewIndRef(6, 0);
  TPDFNumeric* number = s.NewNumeric(2.5);
  TPDFName* name = s.NewName("Page");
  s.OnLookup = [&](TPDFIndRef*, int32_t objNum, int32_t) -> TPDFObject* {
    if (objNum == 5) return number;
    if (objNum == 6) return toNumber;
    if (objNum == 7) return name;
    return nullptr;
  };
  d->SetValue("N", toNumber);
  d->SetValue("RR", toRef);
  d->SetValue("T", s.NewIndRef(7, 0));
  d->SetValue("S", s.NewString("bytes", 1));
  d->SetValue("Type", s.NewIndRef(7, 0));

  EXPECT_EQ(d->GetValue("N"), toNumber);
  EXPECT_EQ(d->GetValue("N", true), number);
  EXPECT_EQ(d->GetValue("RR", true), toNumber);  // one level only
  EXPECT_EQ(d->GetInteger("N", -1), 2);          // 2.5 rounds to even
  EXPECT_EQ(d->GetInteger("RR", -1), -1);
  EXPECT_EQ(d->GetInteger("Missing", 9), 9);
  EXPECT_EQ(d->GetText("T"), "Page");
  EXPECT_EQ(d->GetText("S"), "bytes");
  EXPECT_EQ(d->GetText("N"), "");
  EXPECT_EQ(d->GetTypeName(), "");  // /Type is not resolved
  s.OnLookup = nullptr;
  EXPECT_EQ(d->GetValue("N", true), nullptr);
}

TEST(Dictionary, AssignCopiesEntriesOrCrossesStructuresAsText) {
  TPDFStructure s, t;
  TPDFDictionary* source = s.NewDictionary();
  source->SetValue("Type", s.NewName("Page"));
  source->SetValue("Kids", s.NewArrayOf({s.NewIndRef(3, 0)}));
  TPDFDictionary* same = s.NewDictionary();
  same->Assign(source);
  EXPECT_EQ(same->GetEntry(1).Value, source->GetEntry(1).Value);

  TPDFDictionary* copy = t.NewDictionary();
  copy->SetValue("Old", t.NewNull());
  copy->Assign(source);
  EXPECT_EQ(copy->ToText(), source->ToText());
  EXPECT_EQ(copy->GetEntry(0).Value->Owner, &t);
}

TEST(Dictionary, DeleteAndClearLeaveHeldPartsRegistered) {
  TPDFStructure s;
  TPDFDictionary* d = s.NewDictionary();
  d->SetValue("Kids", s.NewArrayOf({s.NewNumeric(1)}));
  d->SetValue("Count", s.NewNumeric(1));
  const int32_t before = s.Count();
  d->Delete("Kids");
  EXPECT_EQ(d->IndexOf("Kids"), -1);
  EXPECT_EQ(d->Count(), 1);
  EXPECT_EQ(s.Count(), before);
  d->Clear();
  EXPECT_EQ(d->Count(), 0);
}

TEST(Array, SlotsAndReserve) {
  TPDFStructure s;
  TPDFArray* a = s.NewIntegerArray({1, 2, 3});
  a->Reserve(2);
  EXPECT_EQ(a->SlotCount(), 5);
  a->Delete(1);
  EXPECT_EQ(a->Count(), 2);
  EXPECT_EQ(a->SlotCount(), 4);
  a->Add(s.NewNumeric(4));  // uses a reserved slot
  EXPECT_EQ(a->SlotCount(), 4);
  a->Insert(0, s.NewNumeric(0));
  EXPECT_EQ(a->SlotCount(), 4);
  EXPECT_EQ(a->ToText(), "[ 0 1 3 4 ]");
  a->Insert(4, s.NewNumeric(5));  // no reserve left: grows by one
  EXPECT_EQ(a->SlotCount(), 5);
  a->Insert(7, s.NewNumeric(9));  // out of range: nothing
  a->Insert(-1, s.NewNumeric(9));
  EXPECT_EQ(a->ToText(), "[ 0 1 3 4 5 ]");
  a->Clear();
  EXPECT_EQ(a->Count(), 0);
  EXPECT_EQ(a->SlotCount(), 0);
}

TEST(Array, EditingOperations) {
  TPDFStructure s;
  const struct {
    const char* Name;
    std::function<void(TPDFStructure&, TPDFArray*)> Edit;
    const char* Expected;
  } cases[] = {
      {"move forward", [](auto&, TPDFArray* a) { a->Move(0, 3); }, "[ 2 3 4 1 5 ]"},
      {"move back", [](auto&, TPDFArray* a) { a->Move(4, 1); }, "[ 1 5 2 3 4 ]"},
      {"move out of range", [](auto&, TPDFArray* a) { a->Move(0, 5); }, "[ 1 2 3 4 5 ]"},
      {"delete out of range", [](auto&, TPDFArray* a) { a->Delete(5); }, "[ 1 2 3 4 5 ]"},
      {"set item", [](auto& st, TPDFArray* a) { a->SetItem(2, st.NewName("X")); }, "[ 1 2 /X 4 5 ]"},
      {"set item out of range", [](auto& st, TPDFArray* a) { a->SetItem(5, st.NewNull()); }, "[ 1 2 3 4 5 ]"},
      {"remove by text", [](auto& st, TPDFArray* a) { a->Remove(st.NewNumeric(4), true); }, "[ 1 2 3 5 ]"},
      {"remove other object", [](auto& st, TPDFArray* a) { a->Remove(st.NewNumeric(4), false); }, "[ 1 2 3 4 5 ]"},
      {"remove same object", [](auto&, TPDFArray* a) { a->Remove(a->GetItem(0), false); }, "[ 2 3 4 5 ]"},
      {"remove none", [](auto&, TPDFArray* a) { a->Remove(nullptr, true); }, "[ 1 2 3 4 5 ]"},
  };
  for (const auto& c : cases) {
    TPDFArray* a = s.NewIntegerArray({1, 2, 3, 4, 5});
    c.Edit(s, a);
    EXPECT_EQ(a->ToText(), c.Expected) << c.Name;
  }
  TPDFArray* a = s.NewIntegerArray({7, 8, 7});
  EXPECT_TRUE(a->ContainsText("8"));
  EXPECT_FALSE(a->ContainsText("9"));
  EXPECT_EQ(a->IndexOfText(s.NewNumeric(7)), 2);
  EXPECT_EQ(a->IndexOfText(s.NewNumeric(9)), -1);
  EXPECT_EQ(a->GetItem(3), nullptr);
}

TEST(References, RenumberAndShift) {
  TPDFStructure s;
  TPDFIndRef* inDictionary = s.NewIndRef(3, 1);
  TPDFIndRef* inArray = s.NewIndRef(4, 2);
  TPDFDictionary* d = s.NewDictionary();
  d->SetValue("A", s.NewArrayOf({inArray}));
  d->SetValue("B", inDictionary);
  d->Renumber(10);
  EXPECT_EQ(inDictionary->ObjNum, 13);
  EXPECT_EQ(inArray->ObjNum, 14);
  TPDFIndRef* loose = s.NewIndRef(1, 5);
  s.ShiftReferences(-1, true);
  EXPECT_EQ(loose->ObjNum, 0);
  EXPECT_EQ(loose->GenNum, 0);
  EXPECT_EQ(inArray->ObjNum, 13);
  EXPECT_EQ(inArray->GenNum, 0);
}

TEST(Stream, DataUpdatesLengthInPlaceOrReplacesAReference) {
  TPDFStructure s;
  TPDFStream* stream = s.NewStream("12345");
  EXPECT_EQ(stream->Dictionary->GetInteger("Length", -1), 5);
  TPDFObject* length = stream->Dictionary->GetValue("Length");
  stream->SetData("ab");
  EXPECT_EQ(stream->Dictionary->GetValue("Length"), length);
  EXPECT_EQ(stream->Dictionary->GetInteger("Length", -1), 2);

  stream->Dictionary->SetValue("Length", s.NewIndRef(9, 0));
  stream->SetData("abcd");
  EXPECT_EQ(stream->Dictionary->GetValue("Length")->ToText(), "4");

  stream->Dictionary->SetValue("Filter", s.NewName("ASCII85Decode"));
  stream->SetContent("plain", false);
  EXPECT_EQ(stream->Dictionary->IndexOf("Filter"), -1);
  EXPECT_EQ(stream->GetData(), "plain");
}

TEST(Stream, ContentAndFileDataSetFilterAndLength) {
  TPDFStructure s;
  TPDFStream* stream = s.NewStream("");
  const std::string text(3000, 'a');
  stream->SetContent(text, true);
  EXPECT_EQ(stream->Dictionary->GetText("Filter"), "FlateDecode");
  EXPECT_EQ(DecompressFlate(stream->GetData()), text);
  EXPECT_EQ(stream->Dictionary->GetInteger("Length", -1), static_cast<int32_t>(stream->GetData().size()));

  const std::string dir = testsupport::TempDir("syntax-stream");
  ASSERT_TRUE(testsupport::WriteFile(dir + "/data.bin", std::string("x\0y", 3)));
  ASSERT_TRUE(testsupport::WriteFile(dir + "/empty.bin", ""));
  EXPECT_FALSE(stream->SetDataFromFile(dir + "/missing.bin", false));
  EXPECT_EQ(DecompressFlate(stream->GetData()), text);  // unchanged

  ASSERT_TRUE(stream->SetDataFromFile(dir + "/data.bin", false));
  EXPECT_EQ(stream->GetData(), std::string("x\0y", 3));
  EXPECT_EQ(stream->Dictionary->IndexOf("Filter"), -1);
  EXPECT_EQ(stream->Dictionary->GetInteger("Length", -1), 3);

  ASSERT_TRUE(stream->SetDataFromFile(dir + "/data.bin", true));
  EXPECT_EQ(stream->Dictionary->GetText("Filter"), "FlateDecode");
  EXPECT_EQ(DecompressFlate(stream->GetData()), std::string("x\0y", 3));

  ASSERT_TRUE(stream->SetDataFromFile(dir + "/empty.bin", true));  // empty: /Filter stays
  EXPECT_EQ(stream->GetData(), "");
  EXPECT_EQ(stream->Dictionary->GetText("Filter"), "FlateDecode");
  EXPECT_EQ(stream->Dictionary->GetInteger("Length", -1), 0);
}

TEST(Rectangle, OrdersCornersAndRequiresFourNumbers) {
  TPDFStructure s;
  TPDFRectangle r(s.NewRealArray({612, 792, 0, 0}));
  ASSERT_TRUE(r.IsValid());
  EXPECT_EQ(r.Left(), 0);
  EXPECT_EQ(r.Bottom(), 0);
  EXPECT_EQ(r.Right(), 612);
  EXPECT_EQ(r.Top(), 792);
  EXPECT_EQ(r.Width(), 612);
  EXPECT_EQ(r.Height(), 792);
  const double dimensions[] = {0, 792, 612, 792, 612, 0, 0};
  for (int32_t selector = 0; selector < 7; ++selector)
    EXPECT_EQ(r.GetDimension(selector | 0x80), dimensions[selector]) << selector;

  EXPECT_FALSE(TPDFRectangle(s.NewIntegerArray({0, 0, 612})).IsValid());
  EXPECT_FALSE(TPDFRectangle(s.NewArrayOf({s.NewNumeric(0), s.NewNumeric(0), s.NewNumeric(612), s.NewIndRef(2, 0)}))
                   .IsValid());
  EXPECT_FALSE(TPDFRectangle(nullptr).IsValid());
}

TEST(Numeric, AsIntegerRoundsHalvesToEvenAndSaturates) {
  TPDFStructure s;
  const struct {
    double Value;
    int32_t Expected;
  } cases[] = {{2.5, 2},   {3.5, 4},     {-2.5, -2},         {-3.5, -4},          {2.4999, 2},
               {-0.6, -1}, {1e12, 2147483647}, {-1e12, -2147483647 - 1}, {4294967252.0, 2147483647}};
  for (const auto& c : cases) EXPECT_EQ(s.NewNumeric(c.Value)->AsInteger(), c.Expected) << c.Value;
}

}  // namespace
