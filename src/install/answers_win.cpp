#include "install/answers.h"

#include <cstring>

#include "install/setup_log.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

// Lines kept while no log is open ("Answered:" and the like); what does not fit is dropped.
char PendingAnswers[16384];
size_t PendingLength;

const char* AnswerName(int answer) {
  switch (answer) {
    case IDOK: return "OK";
    case IDCANCEL: return "Abbrechen";
    case IDABORT: return "Abbruch";
    case IDRETRY: return "Wiederholen";
    case IDIGNORE: return "Ignorieren";
    case IDYES: return "Ja";
    case IDNO: return "Nein";
  }
  return "";
}

int SafeAnswer(UINT style) {
  switch (style & MB_TYPEMASK) {
    case MB_ABORTRETRYIGNORE: return IDIGNORE;
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDNO;
    case MB_OKCANCEL:
    case MB_RETRYCANCEL: return IDCANCEL;
  }
  return IDOK;
}

}  // namespace

void WriteStandardError(const char* text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (!error || error == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(error, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
  WriteFile(error, "\r\n", 2, &written, nullptr);
}

void NoteAnswer(const char* caption, const char* text, const char* answer) {
  char line[kValueChars + 2];  // room for the line end behind the longest line
  FormatTextN(line, kValueChars, "%s%s,%s,%s", LogLinePrefix(kLogAnswered), caption ? caption : "", text, answer);
  // One line each: the box's line breaks become blanks.
  for (char* p = line; *p; ++p)
    if (*p == '\r' || *p == '\n') *p = ' ';
  WriteStandardError(line);
  AppendText(line, "\r\n");
  KeepLogLine(line);
}

void KeepLogLine(const char* line) {
  if (SetupLogHandle) {
    WriteLog(line);
  } else if (PendingLength + strlen(line) + 1 <= sizeof PendingAnswers) {
    PendingLength += CopyTextN(PendingAnswers + PendingLength, sizeof PendingAnswers - PendingLength, line);
  }
}

void WritePendingAnswers() {
  if (!SetupLogHandle || !PendingLength) return;
  WriteLog(PendingAnswers);
  PendingLength = 0;
  PendingAnswers[0] = 0;
}

int ShowMessage(HWND owner, const char* text, const char* caption, UINT style, int silentAnswer) {
  if (!Silent) return MessageBoxA(owner, text, caption, style);
  if (!silentAnswer) silentAnswer = SafeAnswer(style);
  NoteAnswer(caption, text, AnswerName(silentAnswer));
  return silentAnswer;
}
