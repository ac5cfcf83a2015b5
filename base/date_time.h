// Date-time values (days since 1899-12-30, time as the fraction) and MS-DOS date and time.
#pragma once

#include <cstdint>

namespace qel::base {

using TDateTime = double;

// MS-DOS date and time: time in the low word (hour*2048 + minute*32 + second/2),
// date in the high word ((year-1980)*512 + month*32 + day).
bool IsValidDosDateTime(std::uint32_t dosDateTime);
// False (value untouched) when the date or time is not valid.
bool TryDosDateTimeToDateTime(std::uint32_t dosDateTime, TDateTime& value);
// Raises EConvertError when the date or time is not valid.
TDateTime DosDateTimeToDateTime(std::uint32_t dosDateTime);
// Seconds are taken to the 2-second resolution (rounded down); years before 1980 give 0.
std::uint32_t DateTimeToDosDateTime(TDateTime value);

TDateTime EncodeDate(int year, int month, int day);  // EConvertError when invalid
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second);
TDateTime Now();  // local time

}  // namespace qel::base
