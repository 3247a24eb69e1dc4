// Reading SETUP.LST into the option tree, once, at start-up.
#pragma once
#include <cstddef>

#include "script/script_profile.h"

struct Option;

// Deepest level of sub-options read; deeper sections count as absent.
constexpr int kMaxOptionDepth = 32;
// Section names longer than this count as absent (a cut name could name another section).
constexpr size_t kSectionNameChars = 260;

// Reads one list of options (numbered "stem1", "stem2", ... or, single, the section "stem"),
// with sub-options, companions and records; the first option, or null. Reading stops once the
// arena has failed (ArenaFailed): what was read is then incomplete and must not be installed.
Option* ReadOptionList(const char* stem, Option* parent, int single);

// [Disks]: DiskCount (clamped to 0..99) and the labels.
void ReadDiskLabels();

// [SuccessRun]: SuccessRunCount and the records (SuccessRunCount, SuccessRuns).
void ReadSuccessRunList();
