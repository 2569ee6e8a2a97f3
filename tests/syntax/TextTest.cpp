#include <gtest/gtest.h>

#include <cmath>

#include "uPDFStructure.h"

namespace {

TEST(Text, ScalarsPrintExactly) {
  TPDFStructure s;
  const struct {
    TPDFObject* Value;
    const char* Expected;
  } cases[] = {
      {s.NewNull(), "null"},
      {s.NewBoolean(true), "true"},
      {s.NewBoolean(false), "false"},
      {s.NewIndRef(12, 0), "12 0 R"},
      {s.NewIndRef(-3, -1), "-3 -1 R"},
      {s.NewName(std::string("A B#", 4)), "/A#20B#23"},
      {s.NewName("\xE9t\x7F"), "/#E9t#7F"},
      {s.NewName("/()%[]{}<>"), "/#2F#28#29#25#5B#5D#7B#7D#3C#3E"},
      {s.NewName(std::string("\0\x1F!~", 4)), "/#00#1F!~"},
      {s.NewName(""), "/"},
      {s.NewString("a(b)c\t\x80", 0), "(a\\(b\\)c\\t\x80)"},
      {s.NewString("\b\t\n\f\r\\\x01", 0), "(\\b\\t\\n\\f\\r\\\\\x01)"},
      {s.NewString("", 0), "()"},
      {s.NewString(std::string("\x00\xAB\x0f", 3), 1), "<00AB0F>"},
      {s.NewString("", 1), "<>"},
      {s.NewString("lost", 2), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Value->ToText(), c.Expected);
}

TEST(Text, NumbersAreCutToPrecisionAndLoseTrailingZeros) {
  const struct {
    double Value;
    int32_t Precision;
    const char* Expected;
  } cases[] = {
      {612, 4, "612"},
      {0.5, 4, "0.5"},
      {1.23456, 4, "1.2345"},
      {2.00001, 4, "2"},
      {0.00005, 4, "0"},
      {-1.5, 4, "-1.5"},
      {1e15, 4, "0"},
      {-1e15, 4, "0"},
      {999999999999999, 4, "999999999999999"},
      {0.123456789, 8, "0.12345678"},
      {0.0001, 4, "0.0001"},
      {-0.0, 4, "0"},
      {100, 0, "100"},  // no point: nothing to strip
      {100.75, 0, "100"},
      {4294967252.0, 4, "4294967252"},
      {std::nan(""), 4, "0"},
      {-INFINITY, 4, "0"},
  };
  for (const auto& c : cases) {
    TPDFStructure s;
    s.Precision = c.Precision;
    EXPECT_EQ(s.NewNumeric(c.Value)->ToText(), c.Expected) << c.Value << " at precision " << c.Precision;
  }
}

TEST(Text, ContainersLayOutLinesAsWritten) {
  TPDFStructure s;
  EXPECT_EQ(s.NewArray()->ToText(), "[ ]");
  EXPECT_EQ(s.NewIntegerArray({1, 2})->ToText(), "[ 1 2 ]");
  EXPECT_EQ(s.NewDictionary()->ToText(), "<<\n>>\n");

  TPDFDictionary* page = s.NewDictionary();
  page->SetValue("Type", s.NewName("Page"));
  page->SetValue("Count", s.NewNumeric(3));
  EXPECT_EQ(page->ToText(), "<<\n/Type /Page\n/Count 3\n>>\n");

  // A nested dictionary ends its own line; the outer one adds no second break.
  TPDFDictionary* outer = s.NewDictionary();
  outer->SetValue("P", page);
  outer->SetValue("Missing", nullptr);
  outer->SetValue("A", s.NewArrayOf({page, s.NewNumeric(1)}));
  EXPECT_EQ(outer->ToText(),
            "<<\n/P <<\n/Type /Page\n/Count 3\n>>\n/Missing \n/A [ <<\n/Type /Page\n/Count 3\n>>\n1 ]\n>>\n");

  TPDFStream* stream = s.NewStream("xy\n");
  EXPECT_EQ(stream->ToText(), "<<\n/Length 3\n>>\nstream\nxy\n\nendstream");
}

TEST(Text, LongArraysBreakAfterEightyBytesOfTheirOwn) {
  TPDFStructure s;
  TPDFArray* a = s.NewIntegerArray(std::vector<int32_t>(50, 100));
  std::string expected = "[ ";
  for (int i = 1; i <= 50; ++i) {
    expected += "100 ";
    if (i == 20 || i == 41) expected += '\n';
  }
  expected += ']';
  EXPECT_EQ(a->ToText(), expected);

  // Line breaks inside an item do not restart the count; a break after the last item stays.
  TPDFArray* mixed = s.NewArrayOf({s.NewDictionary(), s.NewString(std::string(76, 'x'), 0)});
  EXPECT_EQ(mixed->ToText(), "[ <<\n>>\n(" + std::string(76, 'x') + ") \n]");
}

TEST(Text, SelfContainingValuesPrintAMarkerInsteadOfRecursingForever) {
  TPDFStructure s;
  TPDFDictionary* d = s.NewDictionary();
  TPDFArray* a = s.NewArray();
  d->SetValue("Loop", a);
  d->SetValue("Next", s.NewNumeric(1));
  a->Add(d);
  const std::string text = d->ToText();
  EXPECT_NE(text.find("% bug \n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("\n/Next 1\n>>\n"));
  d->Renumber(1);  // ends too
  d->Release();
}

}  // namespace
