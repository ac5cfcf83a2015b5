// Date-time values (days since 1899-12-30, time as the fraction) and MS-DOS date and time.
#pragma once

#include <cstdint>

namespace qel::base {

// Whole days since 1899-12-30 plus the time of day as a fraction of a day. Before that
// date the value is negative and the fraction still counts forward from midnight:
// -1.25 is 1899-12-29 06:00.
using TDateTime = double;

bool IsLeapYear(int year);

// MS-DOS date and time: time in the low word (hour*2048 + minute*32 + second/2),
// date in the high word ((year-1980)*512 + month*32 + day).
bool IsValidDosDateTime(std::uint32_t dosDateTime);
// False (value untouched) when the date or time is not valid.
bool TryDosDateTimeToDateTime(std::uint32_t dosDateTime, TDateTime& value);
// Raises EConvertError when the date or time is not valid.
TDateTime DosDateTimeToDateTime(std::uint32_t dosDateTime);
// Seconds are taken to the 2-second resolution (rounded down); a value outside the years
// 1980 to 2107 (or no date at all) gives 0.
std::uint32_t DateTimeToDosDateTime(TDateTime value);

// Years 1 to 9999. False (value untouched) when invalid.
bool TryEncodeDate(int year, int month, int day, TDateTime& value);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& value);
TDateTime EncodeDate(int year, int month, int day);  // EConvertError when invalid
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);  // EConvertError when invalid
// A date from EncodeDate and a time from EncodeTime as one value (also before 1899-12-30).
TDateTime ComposeDateTime(TDateTime date, TDateTime time);
// Decodes to the nearest millisecond. EConvertError for a value outside the years 1 to 9999.
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& millisecond);
TDateTime Now();  // local time

}  // namespace qel::base
