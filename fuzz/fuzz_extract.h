// fuzz_extract.h: one full extraction of in-memory cabinets, as the fuzz
// targets and their corpus replays run it.
#pragma once

// Extracts firstName (already in the fuzz table) accepting every file; the
// first NoticeNextCabinet is answered with nextName, every later one with -1.
// A second pass declines every file. Aborts when a handle or an allocation is
// left behind, which the sanitizers alone would not notice.
void FuzzExtractCabinet(const char* firstName, const char* nextName);
