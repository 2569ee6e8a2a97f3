#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "uPDFExtra.h"
#include "uPlatform.h"

namespace {

struct TFormatCase {
  double Value;
  int32_t Decimals;
  int32_t MinWidth;
  const char* Expected;
};

TEST(FormatNumber, CutsPadsAndDropsExponentForms) {
  const TFormatCase cases[] = {
      {12345, 0, 10, "0000012345"},
      {0, 0, 5, "00000"},
      {1.23456, 4, 0, "1.2345"},  // cut, not rounded
      {1.99999, 2, 0, "1.99"},
      {2, 4, 0, "2.0000"},
      {0.00001, 4, 0, "0.0000"},  // exponent form becomes zero
      {1e20, 0, 0, "0"},
      {1e15, 2, 0, "0.00"},
      {999999999999999, 0, 0, "999999999999999"},
      {0.0001, 4, 0, "0.0001"},
      {-1.5, 2, 6, "0-1.50"},  // zeros go in front of the sign
      {-0.0, 3, 0, "0.000"},
      {1.5, 0, 0, "1"},
      {-2.75, -3, 0, "-2"},
      {0.1, 12, 0, "0.10000000000"},  // ten padding zeros, then the cut
      {1.0 / 3, 15, 0, "0.333333333333333"},  // 15 significant digits at most
      {123456.7890123456, 8, 0, "123456.78901234"},
      {4294967252.0, 0, 10, "4294967252"},
      {std::nan(""), 2, 0, "0.00"},
      {INFINITY, 0, 3, "000"},
  };
  for (const TFormatCase& c : cases)
    EXPECT_EQ(FormatNumber(c.Value, c.Decimals, c.MinWidth), c.Expected)
        << c.Value << " decimals " << c.Decimals << " width " << c.MinWidth;
}

TEST(FormatNumber, IgnoresTheProcessLocale) {
  // A locale with a decimal comma, when the system has one; the separator stays '.'.
  const char* previous = std::setlocale(LC_ALL, nullptr);
  std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE locale";
  EXPECT_EQ(FormatNumber(1.5, 2, 0), "1.50");
  EXPECT_DOUBLE_EQ(ParseReal("1.5"), 1.5);
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(ParseReal, ReadsDecimalTextOrZero) {
  const struct {
    const char* Text;
    double Expected;
  } cases[] = {
      {"3.14159265358979", 3.141592653},  // nine fraction digits count
      {"-0.5", -0.5},
      {"1.2.3", 0},
      {"1-2", 0},
      {".5", 0.5},
      {"-.5", -0.5},
      {"5.", 5},
      {"12", 12},
      {"-12", -12},
      {"  7.25 ", 7.25},
      {"", 0},
      {"-", 0},
      {"--5", 0},
      {"abc", 0},
      {"1e5", 0},
      {"+5", 0},
      {"0.1234", 0.1234},
      {"612.1234", 612.1234},
      {"4294967252", 4294967252.0},  // wider than 32 bits, kept exactly
      {"-3000000000.25", -3000000000.25},
      {"9007199254740993", 9007199254740992.0},  // beyond 2^53: the nearest double
  };
  for (const auto& c : cases) EXPECT_EQ(ParseReal(c.Text), c.Expected) << '"' << c.Text << '"';
}

TEST(IsNumberText, AcceptsDigitsPointAndLeadingMinus) {
  const struct {
    const char* Text;
    bool Expected;
  } cases[] = {
      {"", true},   {"12", true},   {"-1.5", true}, {" 1.5\t", true}, {".", true},
      {"1.2.3", false}, {"1-2", false}, {"+1", false}, {"1 2", false}, {"1e3", false},
      {"--1", true},  // only the first '-' has to lead
  };
  for (const auto& c : cases) EXPECT_EQ(IsNumberText(c.Text), c.Expected) << '"' << c.Text << '"';
}

class FixedClock : public ::testing::Test {
 protected:
  void Use(int32_t offsetMinutes, platform::TDateTime now) {
    platform::TClock clock;
    clock.LocalNow = [now] { return now; };
    clock.UtcOffsetMinutes = [offsetMinutes] { return offsetMinutes; };
    FPrevious = platform::SetClock(clock);
  }
  void TearDown() override { platform::SetClock(FPrevious); }
  platform::TClock FPrevious;
};

TEST_F(FixedClock, DateNowCarriesTheLocalOffset) {
  const platform::TDateTime now{2024, 1, 15, 9, 30, 0, 0};
  const struct {
    int32_t Offset;
    const char* Expected;
  } cases[] = {
      {60, "D:20240115093000+01'00'"},
      {-330, "D:20240115093000-05'30'"},
      {0, "D:20240115093000Z"},
      {345, "D:20240115093000+05'45'"},
  };
  for (const auto& c : cases) {
    Use(c.Offset, now);
    EXPECT_EQ(PdfDateNow(), c.Expected) << c.Offset;
    platform::SetClock(FPrevious);
  }
}

TEST_F(FixedClock, DateFromUtcMovesToLocalTimeAcrossDays) {
  const struct {
    int32_t Offset;
    platform::TDateTime Given;
    const char* FromUtc;
    const char* AsGiven;
  } cases[] = {
      {60, {2023, 12, 31, 23, 30, 5, 0}, "D:20240101003005+01'00'", "D:20231231233005+01'00'"},
      {-330, {2024, 3, 1, 2, 0, 0, 0}, "D:20240229203000-05'30'", "D:20240301020000-05'30'"},
      {0, {2024, 3, 1, 2, 0, 0, 0}, "D:20240301020000Z", "D:20240301020000Z"},
  };
  for (const auto& c : cases) {
    Use(c.Offset, {});
    EXPECT_EQ(PdfDateFrom(c.Given, true), c.FromUtc) << c.Offset;
    EXPECT_EQ(PdfDateFrom(c.Given, false), c.AsGiven) << c.Offset;
    platform::SetClock(FPrevious);
  }
}

}  // namespace
