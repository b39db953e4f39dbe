// Text forms of typed values: floats, date-times, booleans.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "XmlTestUtil.h"
#include "xml/XmlTyped.h"

using namespace xml;
using xmltest::caught;

TEST(TypedText, FloatText) {
  struct Case {
    double value;
    int digits;
    bool exponent;
    const char* expected;
  };
  const Case cases[] = {
      {1234.5, 6, true, "1234.5"},   {0.5, 6, true, ".5"},
      {0.05, 6, true, ".05"},        {0.001, 6, true, "1E-3"},
      {100, 6, true, "100"},         {1000, 6, true, "1000"},
      {15000, 6, true, "15000"},     {12345678, 6, true, "12345700"},
      {123456789, 6, true, "1.23457E8"}, {100000000, 6, true, "1.00000E8"},
      {-2.5, 6, true, "-2.5"},       {2.0 / 3.0, 6, true, ".666667"},
      {0.00001, 6, false, ".00001"}, {0.99999996, 6, true, "1"},
      {999999.6, 6, true, "1000000"}, {-0.0, 6, true, "0"},
      {0, 6, true, "0"},             {3, 6, true, "3"},
      {1e-3, 6, true, "1E-3"},       {1.5, 1, true, "2"},  // ties to even
      {2.5, 1, true, "2"},           {123456789, 9, true, "123456789"},
      {1e300, 6, true, "1.00000E300"},     {-1.25e-10, 3, true, "-1.25E-10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(FormatFloatText(c.value, c.digits, c.exponent), c.expected);
  }
}

TEST(TypedText, FloatTextFailures) {
  for (int digits : {0, 10, -1}) {
    const XmlError e = caught([&] { FormatFloatText(1, digits, true); });
    EXPECT_STREQ(e.what(), "Significant digits out of range");
    EXPECT_EQ(e.kind(), ErrorKind::General);
  }
  for (double v : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::quiet_NaN()})
    EXPECT_EQ(caught([&] { FormatFloatText(v, 6, true); }).code(), XmlErrc::FloatNotFinite);
}

TEST(TypedText, DateTimeText) {
  const double may3 = EncodeDateValue(2016, 5, 3);
  EXPECT_EQ(may3, 42493);
  EXPECT_EQ(EncodeDateValue(1899, 12, 30), 0);
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {may3, "2016-05-03"},
      {may3 + 0.5, "2016-05-03T12:00:00.000Z"},
      {may3 + EncodeTimeValue(12, 34, 56, 789), "2016-05-03T12:34:56.789Z"},
      {may3 + 0.9999999999, "2016-05-04T00:00:00.000Z"},  // rounding reaches midnight
      {EncodeDateValue(1, 1, 1), "0001-01-01"},
      {EncodeDateValue(9999, 12, 31), "9999-12-31"},
      {EncodeDateValue(2000, 2, 29), "2000-02-29"},
      {EncodeDateValue(1800, 1, 1) - 0.25, "1800-01-01T06:00:00.000Z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatDateTimeText(c.value), c.text);
  }
  EXPECT_EQ(caught([] { FormatDateTimeText(EncodeDateValue(9999, 12, 31) + 1); }).code(), XmlErrc::InvalidDate);
  EXPECT_EQ(caught([] { FormatDateTimeText(std::nan("")); }).code(), XmlErrc::InvalidDate);
}

TEST(TypedText, ParseDateTime) {
  const double may3 = EncodeDateValue(2016, 5, 3);
  struct Case {
    const char* text;
    double expected;  // NAN: fails
  };
  const double bad = NAN;
  const Case cases[] = {
      {"2016-05-03", may3},
      {"2016-05-03T12:34", may3},  // 16 characters: midnight
      {"2016-05-03T12:34:56", may3 + EncodeTimeValue(12, 34, 56, 0)},
      {"2016-05-03T12:34:56.789Z", may3 + EncodeTimeValue(12, 34, 56, 789)},
      {"2016-05-03 12:34:56+08:00", may3 + EncodeTimeValue(12, 34, 56, 0)},
      {"2016-05-03T12:34:xx", may3 + EncodeTimeValue(12, 34, 0, 0)},
      {"1800-01-01T06:00:00.000Z", EncodeDateValue(1800, 1, 1) - 0.25},
      {"2016-13-01", bad},
      {"2016-02-30", bad},
      {"16-5-3", bad},
      {"2016-5-3", bad},
      {"2016-05-03T25:00:00", bad},
      {"2016-05-03Txx:00:00", bad},
      {"", bad},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    if (std::isnan(c.expected)) {
      EXPECT_EQ(caught([&] { ParseDateTimeText(c.text); }).kind(), ErrorKind::Conversion);
      EXPECT_EQ(ParseDateTimeTextDef(c.text, -7), -7);
    } else {
      EXPECT_DOUBLE_EQ(ParseDateTimeText(c.text), c.expected);
    }
  }
  EXPECT_STREQ(caught([] { ParseDateTimeText("2016-13-01"); }).what(), "Invalid argument to date encode");
  EXPECT_STREQ(caught([] { ParseDateTimeText("2016-05-03T24:00:00"); }).what(), "Invalid argument to time encode");
}

TEST(TypedText, DateTimeRoundTrip) {
  for (double v : {0.0, 1.0, 42493.0, 42493.523, -36522.25, 2958465.999, 367.0001}) {
    SCOPED_TRACE(v);
    const double back = ParseDateTimeText(FormatDateTimeText(v));
    EXPECT_NEAR(back, v, 0.5 / 86400000 + 1e-9);
  }
}

TEST(TypedText, BoolText) {
  EXPECT_EQ(BoolText(true), "True");
  EXPECT_EQ(BoolText(false), "False");
  for (const char* t : {"yes", "Yes", "True", "t", "Y"}) EXPECT_TRUE(ParseBoolText(t)) << t;
  for (const char* t : {"no", "f", "false", "N", "False"}) EXPECT_FALSE(ParseBoolText(t)) << t;
  for (const char* t : {"1", "", "on", " true"}) {
    const XmlError e = caught([&] { ParseBoolText(t); });
    EXPECT_STREQ(e.what(), "Cannot convert value to bool") << t;
    EXPECT_EQ(e.kind(), ErrorKind::General);
  }
}
