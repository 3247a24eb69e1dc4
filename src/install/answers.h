// The questions and notices of the setup. In a silent run (/S) none is shown: each is answered
// on the user's behalf the safe way, and the answer is written to the setup log as an
// "Answered:" line (kept until the log exists) and to the standard error handle, when the
// program has one.
#pragma once
#include <windows.h>

// A message box owned by owner. In a silent run no box is shown; the result is silentAnswer,
// or with 0 the safe answer of the box's buttons: "Ignorieren" over "Abbruch", "Nein", "Abbrechen",
// and "OK" where there is nothing else.
int ShowMessage(HWND owner, const char* text, const char* caption, UINT style, int silentAnswer = 0);

// Notes an answer given on the user's behalf: "Answered:" caption "," text "," answer.
void NoteAnswer(const char* caption, const char* text, const char* answer);

// Writes a whole line (its "\r\n" included) to the setup log, or keeps it until the log exists.
void KeepLogLine(const char* line);

// Writes the lines kept before the log existed; called once the log is open.
void WritePendingAnswers();

// A line on the standard error handle, when the program has one.
void WriteStandardError(const char* text);
