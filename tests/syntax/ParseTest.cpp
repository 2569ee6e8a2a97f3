#include <gtest/gtest.h>

#include "uPDFStructure.h"

namespace {

// The printed form of what the text parses to; "none" when nothing is read.
std::string Reading(const std::string& text) {
  TPDFStructure s;
  TPDFObject* value = s.Parse(text);
  return value ? value->ToText() : "none";
}

TEST(Parse, ReadsTheFirstObjectAsWritten) {
  const struct {
    std::string Text;
    std::string Expected;
  } cases[] = {
      {"<< /Type /Page /Kids [ 3 0 R 4 0 R ] /Count 2 >>", "<<\n/Type /Page\n/Kids [ 3 0 R 4 0 R ]\n/Count 2\n>>\n"},
      {"[1 2 3]", "[ 1 2 3 ]"},
      {"[1 0 R]", "[ 1 0 R ]"},
      {"[1.5 0 R]", "[ 1.5 0 ]"},  // a real never starts a reference
      {"12 0 RG", "12 0 R"},
      {"12 0.7 R", "12 0 R"},
      {"12 %c\n0 R", "12 0 R"},
      {"12 0 obj", "12"},
      {"5 0 obj", "5"},
      {"3000000000 0 R", "0 0 R"},  // reference numbers must fit 32 bits
      {"4294967252", "4294967252"},  // a plain integer keeps its value
      {"-2147483649 ", "-2147483649"},
      {"/A#20B", "/A#20B"},
      {"/A#2", "/A#232"},
      {"/A#2g", "/A#232g"},
      {"/a#41#4a ", "/aAJ"},
      {"/ 1", "/"},
      {"/Name(x)", "/Name"},
      {"/Na}me", "/Na#7Dme"},
      {"(a\\)b)", "(a\\)b)"},
      {"(a b c", "none"},
      {"(x(y)z)", "(x\\(y\\)z)"},
      {"(1\r\n2\r3\n4)", "(1\\n2\\n3\\n4)"},
      {"(ab\\\ncd\\\r\nef\\\rgh)", "(abcdefgh)"},
      {"(\\1a2)", "(\x01" "a2)"},
      {"(\\1234)", "(S4)"},
      {"(\\9)", "(9)"},  // only 0 to 7 are octal digits
      {"(\\8\\0018)", "(8\x01" "8)"},
      {"(mailto:\\ichd)", "(mailto:ichd)"},  // a backslash that escapes nothing is dropped
      {"(\\777)", "(\xFF)"},
      {"(\\n\\r\\t\\b\\f\\(\\)\\\\)", "(\\n\\r\\t\\b\\f\\(\\)\\\\)"},
      {"(\\q\\)", "(q\\\\)"},  // the last backslash escapes nothing and closes no string
      {"<48 65 6C 6C 6F>", "<48656C6C6F>"},
      {"<48656c6c6f >", "<48656C6C6F>"},
      {"<414>", "<4140>"},
      {"<4z1>", "<41>"},
      {"<4142", "<4140>"},  // unterminated: the last character is taken as the close
      {"-.5", "-.5"},  // a number read prints as it was written
      {"0.431373", "0.431373"},
      {"[0.00001 0 0 0.00001 20 20]", "[ 0.00001 0 0 0.00001 20 20 ]"},
      {"007", "007"},
      {"1.50", "1.50"},
      {"5.", "5."},
      {".", "0"},
      {"-", "0"},
      {"1.2.3", "1.2"},
      {"+5", "+5"},
      {"[+5 -3 +.5 6]", "[ +5 -3 +.5 6 ]"},
      {"<< /A +5 /B 2 >>", "<<\n/A +5\n/B 2\n>>\n"},
      {"true", "true"},
      {"true ", "true"},
      {"true]", "true"},
      {"trueX", "none"},
      {"tru", "none"},
      {"false", "false"},
      {"null/", "null"},
      {"nullx", "none"},
      {"<<\n%note\n/A 1>>", "<<\n/A 1\n>>\n"},
      {"<<\n%note\n  /A 1>>", "<<\n/A 1\n>>\n"},  // white space and comments in any run
      {"<<\n%note\n\n/A 1>>", "<<\n/A 1\n>>\n"},
      {"<< /Type /Page % 1\n   /A %x\r%y\r\n [1 %z\n 2] >>", "<<\n/Type /Page\n/A [ 1 2 ]\n>>\n"},
      {"<< /A 1 /A 2 /B 3 >>", "<<\n/A 2\n/B 3\n>>\n"},
      {"<< /A 1 2 /B 3 >>", "<<\n/A 1\n>>\n"},  // a key that is no name ends it
      {"<< /A >>", "<<\n>>\n"},
      {"<</A<</B[1]>>>>", "<<\n/A <<\n/B [ 1 ]\n>>\n>>\n"},
      {"<<>>", "<<\n>>\n"},
      {"[]", "[ ]"},
      {"[", "[ ]"},
      {"<>", "<>"},
      {"<", "none"},
      {"[ 1 } 2 ]", "[ 1 ]"},
      {"   \t\r\n 7", "7"},
      {"%only a comment", "none"},
      {"", "none"},
      {"]", "none"},
      {"R", "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(Reading(c.Text), c.Expected) << '"' << c.Text << '"';
}

TEST(Parse, EveryMadeObjectStaysRegistered) {
  TPDFStructure s;
  TPDFObject* value = s.Parse("[1.5 0 R]");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(s.Count(), 3);  // the array and two numbers
  s.Parse("<< /A 1 2 /B 3 >>");
  EXPECT_EQ(s.Count(), 3 + 5);  // /A 1 stored; 2 and /B read, not stored; 3 never read
}

TEST(Parse, ManyKeysAndRepeatsKeepTheFirstPosition) {
  std::string text = "<<";
  for (int i = 0; i < 100; ++i) text += " /K" + std::to_string(i) + " " + std::to_string(i);
  text += " /K3 (x) /K70 (y) /K0 null >>";
  TPDFStructure s;
  TPDFDictionary* d = As<TPDFDictionary>(s.Parse(text));
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Count(), 100);
  EXPECT_EQ(d->GetEntry(3).Value->ToText(), "(x)");
  EXPECT_EQ(d->GetEntry(70).Value->ToText(), "(y)");
  EXPECT_EQ(d->GetEntry(0).Value->ToText(), "null");
  EXPECT_EQ(d->IndexOf("K99"), 99);
}

TEST(Parse, DeepNestingGivesAPartialValue) {
  for (const char* open : {"[", "<< /A ", "[ << /B "}) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += open;
    TPDFStructure s;
    TPDFObject* value = s.Parse(text);
    ASSERT_NE(value, nullptr) << open;
    // Printing and parsing the partial value again gives the same text.
    const std::string printed = value->ToText();
    TPDFStructure t;
    TPDFObject* again = t.Parse(printed);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->ToText(), printed) << open;
    EXPECT_LE(s.Count(), 2 * TPDFStructure::kMaxParseDepth);
  }
}

TEST(Parse, TextWithoutTerminatorIsReadWithinItsLength) {
  // The parser gets a pointer and a length; nothing past the length may be read.
  const std::string backing = "(abc\\)def) /N#41 <<";
  const struct {
    size_t Length;
    const char* Expected;
  } cases[] = {{4, "none"}, {5, "none"}, {6, "(abc\\\\)"}, {10, "(abc\\)def)"}, {16, "(abc\\)def)"}};
  TPDFStructure s;
  for (const auto& c : cases) {
    std::string copy = backing.substr(0, c.Length);  // exact-size buffer for the sanitizers
    TPDFObject* value = s.Parse(copy.data(), copy.size());
    EXPECT_EQ(value ? value->ToText() : "none", c.Expected) << c.Length;
  }
  EXPECT_EQ(s.Parse(nullptr, 0), nullptr);
}

// Values that must survive printing and reading back unchanged.
TEST(RoundTrip, PrintedValuesReadBackEqual) {
  std::string allBytes;
  for (int b = 0; b < 256; ++b) allBytes += static_cast<char>(b);
  const std::string& nameBytes = allBytes;

  TPDFStructure s;
  std::vector<TPDFObject*> values = {
      s.NewName(nameBytes),
      s.NewName("A#B/C(D)E%F"),
      s.NewName(""),
      s.NewString(allBytes, 0),
      s.NewString(allBytes, 1),
      s.NewString("\r\n\r\r\n\n\\\\(()))(", 0),
      s.NewString("((unbalanced", 0),
      s.NewString("trailing backslash\\", 0),
      s.NewString("", 0),
      s.NewString("", 1),
      s.NewNumeric(0),
      s.NewNumeric(-0.0001),
      s.NewNumeric(0.0001),
      s.NewNumeric(999999999999999),
      s.NewNumeric(-999999999999999),
      s.NewNumeric(123456789.1234),
      s.NewNumeric(2147483648.0),
      s.NewNumeric(-0.5),
      s.NewIndRef(2147483647, 65535),
      s.NewIndRef(0, 0),
      s.NewBoolean(true),
      s.NewNull(),
      s.NewIntegerArray(std::vector<int32_t>(60, -7)),
  };
  TPDFDictionary* nested = s.NewDictionary();
  nested->SetValue("Kids", s.NewArrayOf({s.NewIndRef(3, 0), s.NewArray(), s.NewDictionary()}));
  nested->SetValue("", s.NewString("empty key", 0));
  nested->SetValue("Inner", s.NewArrayOf({s.NewArrayOf({s.NewArrayOf({s.NewName("deep")})}), nested->GetValue("Kids")}));
  values.push_back(nested);
  TPDFDictionary* everything = s.NewDictionary();
  for (size_t i = 0; i < values.size(); ++i) everything->SetValue("V" + std::to_string(i), values[i]);
  values.push_back(everything);
  values.push_back(s.NewArrayOf(std::vector<TPDFObject*>(values.begin(), values.end())));

  for (TPDFObject* value : values) {
    const std::string printed = value->ToText();
    TPDFStructure t;
    TPDFObject* back = t.Parse(printed);
    ASSERT_NE(back, nullptr) << printed;
    EXPECT_EQ(back->Kind(), value->Kind()) << printed;
    EXPECT_EQ(back->ToText(), printed);
  }
  // Byte-exact content, not only the same print.
  TPDFStructure t;
  EXPECT_EQ(As<TPDFString>(t.Parse(s.NewString(allBytes, 0)->ToText()))->Value, allBytes);
  EXPECT_EQ(As<TPDFName>(t.Parse(s.NewName(nameBytes)->ToText()))->Value, nameBytes);
}

}  // namespace

TEST(Parse, ANumberPrintsAsWrittenOnlyUntilItChanges) {
  TPDFStructure s;
  TPDFArray* array = As<TPDFArray>(s.Parse("[0.431373 +5 1.50]"));
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array->ToText(), "[ 0.431373 +5 1.50 ]");
  As<TPDFNumeric>(array->GetItem(0))->Value = 0.25;
  As<TPDFNumeric>(array->GetItem(1))->Value = 6;
  EXPECT_EQ(array->ToText(), "[ 0.25 6 1.50 ]");
}

TEST(Parse, SpansTellWhereTheValueItsStringsAndItsEntriesLie) {
  const std::string text = "<< /A (x\\)y) /B [<41> 2 0 R] % c\n /C 3 0 R >> stream\n";
  TPDFStructure s;
  TPDFTextSpans spans;
  TPDFDictionary* dict = As<TPDFDictionary>(s.Parse(text.data(), text.size(), spans));
  ASSERT_NE(dict, nullptr);
  EXPECT_EQ(text.substr(spans.End), " stream\n");
  ASSERT_EQ(spans.Strings.size(), 2u);
  EXPECT_EQ(text.substr(spans.Strings[0].Start, spans.Strings[0].End - spans.Strings[0].Start), "(x\\)y)");
  EXPECT_EQ(text.substr(spans.Strings[1].Start, spans.Strings[1].End - spans.Strings[1].Start), "<41>");
  ASSERT_EQ(spans.Entries.size(), 3u);
  EXPECT_EQ(spans.Entries[2].Value, dict->GetValue("C"));
  EXPECT_EQ(text.substr(spans.Entries[2].Start, spans.Entries[2].End - spans.Entries[2].Start), "3 0 R");
}
