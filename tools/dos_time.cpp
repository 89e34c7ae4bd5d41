// dos_time.cpp: conversions between DOS words and local time.
#include "dos_time.h"

#include <cstdio>

void DosFromTime(time_t moment, uint16_t* date, uint16_t* time) {
    struct tm local = {};
    if (localtime_r(&moment, &local) == nullptr || local.tm_year < 80) {
        *date = static_cast<uint16_t>((1 << 5) | 1);
        *time = 0;
        return;
    }
    if (local.tm_year > 207) {
        *date = static_cast<uint16_t>((127 << 9) | (12 << 5) | 31);
        *time = static_cast<uint16_t>((23 << 11) | (59 << 5) | 29);
        return;
    }
    *date = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    *time = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
}

bool TimeFromDos(uint16_t date, uint16_t time, time_t* moment) {
    struct tm local = {};
    local.tm_year = (date >> 9) + 80;
    local.tm_mon = ((date >> 5) & 0x0F) - 1;
    local.tm_mday = date & 0x1F;
    local.tm_hour = time >> 11;
    local.tm_min = (time >> 5) & 0x3F;
    local.tm_sec = (time & 0x1F) * 2;
    if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday == 0 || local.tm_hour > 23 || local.tm_min > 59 ||
        local.tm_sec > 59) {
        return false;
    }
    local.tm_isdst = -1;
    const time_t result = mktime(&local);
    if (result == static_cast<time_t>(-1)) {
        return false;
    }
    *moment = result;
    return true;
}

std::string FormatDosDateTime(uint16_t date, uint16_t time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980u + (date >> 9), (date >> 5) & 0x0Fu,
                  date & 0x1Fu, static_cast<unsigned>(time >> 11), (time >> 5) & 0x3Fu, (time & 0x1Fu) * 2);
    return text;
}
