// dos_time.h: MS-DOS date and time words and the host's local time.
//
//   date: bits 0-4 day (1-31), 5-8 month (1-12), 9-15 year - 1980
//   time: bits 0-4 seconds / 2, 5-10 minutes, 11-15 hours
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// The DOS words for a moment in local time, seconds rounded down to even.
// Moments before 1980 give 1980-01-01 00:00:00, after 2107 2107-12-31 23:59:58.
void DosFromTime(time_t moment, uint16_t* date, uint16_t* time);

// The moment that the DOS words mean in local time; false for words that name
// no real date (month 0, day 0, hour 24 and the like).
bool TimeFromDos(uint16_t date, uint16_t time, time_t* moment);

// "YYYY-MM-DD HH:MM:SS", the fields as stored, even when they name no real date.
std::string FormatDosDateTime(uint16_t date, uint16_t time);
