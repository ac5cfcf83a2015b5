// Calendar arithmetic for date-time values and the MS-DOS date and time format.
#include "base/date_time.h"

#include <algorithm>
#include <cmath>

#include "base/exceptions.h"
#include "base/format.h"
#include "platform/clock.h"

namespace qel::base {

namespace {

constexpr std::int64_t MSecsPerDay = 24LL * 60 * 60 * 1000;
// Days from 1970-01-01 (the epoch of the civil-day arithmetic below) back to 1899-12-30.
constexpr std::int64_t UnixEpochToZeroDay = 25569;
constexpr int MinYear = 1;
constexpr int MaxYear = 9999;
// Day numbers of 0001-01-01 and of the day after 9999-12-31.
constexpr double FirstDay = -693593.0;
constexpr double DayAfterLast = 2958466.0;

constexpr int DosBaseYear = 1980;
constexpr int DosLastYear = DosBaseYear + 127;  // seven bits of year

int DaysInMonth(int year, int month) {
  constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};  // by month - 1
  return month == 2 && IsLeapYear(year) ? 29 : Days[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= MinYear && year <= MaxYear && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil-day algorithm:
// years counted from March so the leap day ends the year, in 400-year eras).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  std::int64_t yearOfEra = year - era * 400;
  std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  days += 719468;
  std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  std::int64_t dayOfEra = days - era * 146097;
  std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

struct TDosFields {
  int Year, Month, Day, Hour, Minute, Second;
};

TDosFields SplitDos(std::uint32_t dosDateTime) {
  std::uint32_t time = dosDateTime & 0xFFFF;
  std::uint32_t date = dosDateTime >> 16;
  return {DosBaseYear + static_cast<int>(date >> 9), static_cast<int>((date >> 5) & 0x0F), static_cast<int>(date & 0x1F),
          static_cast<int>(time >> 11), static_cast<int>((time >> 5) & 0x3F), static_cast<int>(time & 0x1F) * 2};
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

bool TryEncodeDate(int year, int month, int day, TDateTime& value) {
  if (!IsValidDate(year, month, day)) return false;
  value = static_cast<double>(DaysFromCivil(year, month, day) + UnixEpochToZeroDay);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& value) {
  if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 || millisecond < 0 ||
      millisecond >= 1000) {
    return false;
  }
  std::int64_t ms = ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
  value = static_cast<double>(ms) / static_cast<double>(MSecsPerDay);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime value;
  if (!TryEncodeDate(year, month, day, value)) throw EConvertError("Invalid argument to date encode");
  return value;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  TDateTime value;
  if (!TryEncodeTime(hour, minute, second, millisecond, value)) throw EConvertError("Invalid argument to time encode");
  return value;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) { return date < 0 ? date - time : date + time; }

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& millisecond) {
  if (!(value > FirstDay - 1.0 && value < DayAfterLast)) throw EConvertError("Invalid date-time value");
  // Rounding the magnitude to whole milliseconds first lets a value a hair below midnight
  // (as sums of fractions produce) decode as the next day's 00:00:00.000, not as 23:59:59.999.
  // Before the zero day the magnitude's day count goes backwards and its fraction is the time.
  auto totalMs = static_cast<std::int64_t>(std::llround(std::fabs(value) * static_cast<double>(MSecsPerDay)));
  std::int64_t days = totalMs / MSecsPerDay;
  std::int64_t msOfDay = totalMs % MSecsPerDay;
  if (value < 0) days = -days;
  CivilFromDays(days - UnixEpochToZeroDay, year, month, day);
  if (year < MinYear || year > MaxYear) throw EConvertError("Invalid date-time value");
  millisecond = static_cast<int>(msOfDay % 1000);
  second = static_cast<int>(msOfDay / 1000 % 60);
  minute = static_cast<int>(msOfDay / 60000 % 60);
  hour = static_cast<int>(msOfDay / 3600000);
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second) {
  int millisecond;
  DecodeDateTime(value, year, month, day, hour, minute, second, millisecond);
}

bool IsValidDosDateTime(std::uint32_t dosDateTime) {
  TDosFields f = SplitDos(dosDateTime);
  return IsValidDate(f.Year, f.Month, f.Day) && f.Hour < 24 && f.Minute < 60 && f.Second < 60;
}

bool TryDosDateTimeToDateTime(std::uint32_t dosDateTime, TDateTime& value) {
  if (!IsValidDosDateTime(dosDateTime)) return false;
  TDosFields f = SplitDos(dosDateTime);
  value = EncodeDate(f.Year, f.Month, f.Day) + EncodeTime(f.Hour, f.Minute, f.Second, 0);
  return true;
}

TDateTime DosDateTimeToDateTime(std::uint32_t dosDateTime) {
  TDateTime value;
  if (!TryDosDateTimeToDateTime(dosDateTime, value)) {
    throw EConvertError(Format("Invalid MS-DOS date and time (%.8x)", {dosDateTime}));
  }
  return value;
}

std::uint32_t DateTimeToDosDateTime(TDateTime value) {
  int year, month, day, hour, minute, second;
  try {
    DecodeDateTime(value, year, month, day, hour, minute, second);
  } catch (const EConvertError&) {
    return 0;
  }
  if (year < DosBaseYear || year > DosLastYear) return 0;
  auto date = static_cast<std::uint32_t>(((year - DosBaseYear) << 9) | (month << 5) | day);
  auto time = static_cast<std::uint32_t>((hour << 11) | (minute << 5) | (second / 2));
  return (date << 16) | time;
}

TDateTime Now() {
  platform::TLocalTime t = platform::LocalTimeNow();
  // A clock may report a leap second as second 60; a date-time value has no room for it.
  t.Second = std::min(t.Second, 59);
  return ComposeDateTime(EncodeDate(t.Year, t.Month, t.Day), EncodeTime(t.Hour, t.Minute, t.Second, t.Millisecond));
}

}  // namespace qel::base
