// Reading SETUP.LST into the option tree, once, at start-up.
#pragma once
#include <cstddef>

struct Option;

// Deepest level of sub-options read; deeper sections count as absent.
constexpr int kMaxOptionDepth = 32;
// Section names longer than this count as absent (a cut name could name another section).
constexpr size_t kSectionNameChars = 260;

// String read of the script with the default ""; returns the length read.
size_t ReadScriptString(const char* section, const char* key, char* buffer, size_t size);
// A section is present when it has at least one key.
int ScriptSectionPresent(const char* section);

// Reads one list of options (numbered "stem1", "stem2", ... or, single, the section "stem"),
// with sub-options, companions and records; the first option, or null.
Option* ReadOptionList(const char* stem, Option* parent, int single);

// [Disks]: DiskCount (clamped to 0..99) and the labels, each carved anew from the arena.
void ReadDiskLabels();

// [SuccessRun]: SuccessRunCount and the records (SuccessRunCount, SuccessRuns).
void ReadSuccessRunList();
