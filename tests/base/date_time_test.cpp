#include "base/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "base/exceptions.h"

namespace qel::base {
namespace {

constexpr std::uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<std::uint32_t>(((year - 1980) << 25) | (month << 21) | (day << 16) | (hour << 11) | (minute << 5) |
                                    (second / 2));
}

struct TFields {
  int Year, Month, Day, Hour, Minute, Second, Millisecond;
};

TFields Decode(TDateTime value) {
  TFields f{};
  DecodeDateTime(value, f.Year, f.Month, f.Day, f.Hour, f.Minute, f.Second, f.Millisecond);
  return f;
}

void ExpectFields(TDateTime value, TFields expected) {
  TFields f = Decode(value);
  EXPECT_EQ(f.Year, expected.Year) << value;
  EXPECT_EQ(f.Month, expected.Month) << value;
  EXPECT_EQ(f.Day, expected.Day) << value;
  EXPECT_EQ(f.Hour, expected.Hour) << value;
  EXPECT_EQ(f.Minute, expected.Minute) << value;
  EXPECT_EQ(f.Second, expected.Second) << value;
  EXPECT_EQ(f.Millisecond, expected.Millisecond) << value;
}

TEST(DateTimeTest, DosValueLayoutAndRangeEdges) {
  EXPECT_EQ(Dos(1980, 1, 1, 0, 0, 0), 0x00210000u);
  EXPECT_EQ(Dos(2107, 12, 31, 23, 59, 58), 0xFF9FBF7Du);

  TDateTime value = -1;
  ASSERT_TRUE(TryDosDateTimeToDateTime(0x00210000u, value));
  EXPECT_EQ(value, EncodeDate(1980, 1, 1));
  ExpectFields(DosDateTimeToDateTime(0xFF9FBF7Du), {2107, 12, 31, 23, 59, 58, 0});

  // Every valid value survives the trip to a date-time value and back.
  const std::uint32_t roundTrips[] = {0x00210000u, 0xFF9FBF7Du, Dos(2000, 2, 29, 12, 30, 44), Dos(1999, 12, 31, 23, 59, 58),
                                      Dos(2024, 6, 15, 0, 0, 2)};
  for (std::uint32_t dos : roundTrips) EXPECT_EQ(DateTimeToDosDateTime(DosDateTimeToDateTime(dos)), dos) << std::hex << dos;
}

TEST(DateTimeTest, DosValidityChecksEveryField) {
  struct Case {
    std::uint32_t Dos;
    bool Valid;
  };
  const Case cases[] = {
      {Dos(2000, 2, 29, 0, 0, 0), true},    // divisible by 400: leap
      {Dos(1984, 2, 29, 0, 0, 0), true},
      {Dos(2100, 2, 29, 0, 0, 0), false},   // divisible by 100 only: not leap
      {Dos(1981, 2, 29, 0, 0, 0), false},
      {Dos(1981, 2, 28, 0, 0, 0), true},
      {Dos(2001, 4, 31, 0, 0, 0), false},
      {Dos(2001, 12, 31, 0, 0, 0), true},
      {Dos(2001, 0, 1, 0, 0, 0), false},
      {Dos(2001, 13, 1, 0, 0, 0), false},
      {Dos(2001, 1, 0, 0, 0, 0), false},
      {Dos(2001, 1, 1, 24, 0, 0), false},
      {Dos(2001, 1, 1, 23, 60, 0), false},
      {Dos(2001, 1, 1, 23, 59, 60), false},  // seconds field 30
      {Dos(2001, 1, 1, 23, 59, 58), true},
      {0, false},                             // month and day 0: what an unset stamp holds
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsValidDosDateTime(c.Dos), c.Valid) << std::hex << c.Dos;
    TDateTime value = 12345.0;
    EXPECT_EQ(TryDosDateTimeToDateTime(c.Dos, value), c.Valid) << std::hex << c.Dos;
    if (!c.Valid) {
      EXPECT_EQ(value, 12345.0);
      EXPECT_THROW(DosDateTimeToDateTime(c.Dos), EConvertError);
    }
  }
}

TEST(DateTimeTest, ToDosKeepsTwoSecondStepsAndRefusesOutOfRangeYears) {
  TDateTime date = EncodeDate(2010, 3, 4);
  EXPECT_EQ(DateTimeToDosDateTime(date + EncodeTime(13, 45, 27, 999)), Dos(2010, 3, 4, 13, 45, 26));
  EXPECT_EQ(DateTimeToDosDateTime(EncodeDate(1979, 12, 31) + EncodeTime(23, 59, 59, 0)), 0u);
  EXPECT_EQ(DateTimeToDosDateTime(EncodeDate(2108, 1, 1)), 0u);
  EXPECT_EQ(DateTimeToDosDateTime(-1000.5), 0u);
  EXPECT_EQ(DateTimeToDosDateTime(std::nan("")), 0u);
  EXPECT_EQ(DateTimeToDosDateTime(1e12), 0u);
  // A value a hair below midnight, as sums of fractions give, is midnight, not 23:59:58.
  EXPECT_EQ(DateTimeToDosDateTime(date - 1e-10), Dos(2010, 3, 4, 0, 0, 0));
}

TEST(DateTimeTest, EncodeAndDecodeAroundTheZeroDay) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
  EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0), 0.25);

  // Before the zero day the fraction still counts the time forward from midnight.
  ExpectFields(-1.25, {1899, 12, 29, 6, 0, 0, 0});
  ExpectFields(-0.5, {1899, 12, 30, 12, 0, 0, 0});
  ExpectFields(ComposeDateTime(EncodeDate(1800, 7, 4), EncodeTime(18, 30, 15, 250)), {1800, 7, 4, 18, 30, 15, 250});
  ExpectFields(ComposeDateTime(EncodeDate(2024, 2, 29), EncodeTime(23, 59, 59, 999)), {2024, 2, 29, 23, 59, 59, 999});
  ExpectFields(EncodeDate(2024, 3, 1) - 1e-10, {2024, 3, 1, 0, 0, 0, 0});

  // Every day number decodes to the date that encodes back to it.
  for (int day = -693593; day <= 2958465; day += 997) {
    TFields f = Decode(day);
    ASSERT_EQ(EncodeDate(f.Year, f.Month, f.Day), day) << day;
  }
  EXPECT_THROW(Decode(-693594.0), EConvertError);
  EXPECT_THROW(Decode(2958466.0), EConvertError);
  EXPECT_THROW(Decode(std::nan("")), EConvertError);
}

TEST(DateTimeTest, EncodeRejectsInvalidFields) {
  TDateTime value = 7.0;
  EXPECT_FALSE(TryEncodeDate(2001, 2, 29, value));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, value));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, value));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, value));
  EXPECT_EQ(value, 7.0);
  EXPECT_THROW(EncodeDate(2001, 13, 1), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, -1, 0, 0), EConvertError);
}

}  // namespace
}  // namespace qel::base
