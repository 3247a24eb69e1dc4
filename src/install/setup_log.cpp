#include "install/setup_log.h"

#include <cstring>

#include "script/records.h"
#include "startup/platform.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

const char* const kPrefixes[kLogLineKinds] = {
    "CreatedDir:",
    "Copied:",
    "UpToDate:",
    "Register:",
    "RegisterFileType:",
    "Link:",
    "DLLSelfRegister:",
    "Error: Fehler beim Registrieren von ",
    "Error: LoadLibrary() failed, ",
    "Error: Creating Group ",
    "Error: Creating Link ",
    "Error: Creating RegistryKey ",
    "Error: Creating FileType ",
    "Error: Creating IniSetting ",
    "Error: ",
    "Answered:",
    "Removed:",
    "Restored:",
    "RemovedDir:",
    "RegistryRestored:",
    "RemovedKey:",
    "DLLUnregister:",
    "SharedCount:",
    "IniRestored:",
    "Kept:",
    "RolledBack:",
    "UserAccount:",
    "Cancelled:",
};

}  // namespace

void WriteLog(const char* text) {
  if (!LogEnabled || !text || !SetupLogHandle) return;
  PlatformWriteLogBytes(SetupLogHandle, text, strlen(text));
}

int BuildLogName(char* output, size_t cap, const char* folder, int n) {
  return BuildLogNameAs(output, cap, folder, "setup", n);
}

int BuildLogNameAs(char* output, size_t cap, const char* folder, const char* stem, int n) {
  if (cap == 0) return 0;
  char number[48];
  FormatText(number, "%.16s%d.log", stem, n);
  size_t folderLen = strlen(folder);
  bool slash = folderLen > 0 && folder[folderLen - 1] != '\\';
  size_t need = folderLen + (slash ? 1 : 0) + strlen(number);
  CopyTextN(output, cap, folder);
  if (slash) AppendTextN(output, cap, "\\");
  AppendTextN(output, cap, number);
  // A cut name loses its number: every N would name the same file.
  return need < cap;
}

const char* LogLinePrefix(LogLineKind kind) {
  if (kind < 0 || kind >= kLogLineKinds) return nullptr;
  return kPrefixes[kind];
}

void WriteLogFields(LogLineKind kind, const char* const* fields, int count) {
  const char* prefix = LogLinePrefix(kind);
  if (!prefix) return;
  // One write per line where it fits: a file's line is written for every file copied.
  char line[2 * kValueChars];
  size_t length = CopyText(line, prefix);
  for (int i = 0; i < count; ++i) {
    if (i > 0) length = AppendText(line, ",");
    if (fields[i]) length = AppendText(line, fields[i]);  // a null field writes nothing
  }
  length = AppendText(line, "\r\n");
  if (length + 1 < sizeof line) {
    WriteLog(line);
    return;
  }
  WriteLog(prefix);
  for (int i = 0; i < count; ++i) {
    if (i > 0) WriteLog(",");
    WriteLog(fields[i]);
  }
  WriteLog("\r\n");
}

void WriteLogError(const char* text) {
  char line[kValueChars];
  CopyText(line, text);
  for (char* p = line; *p; ++p)
    if (*p == '\r' || *p == '\n') *p = ' ';
  WriteLogLine(kLogError, line);
}

void WriteRegisterLine(uint32_t root, const char* keyPath, const char* defaultValue, const char* valueName,
                       const char* valueData) {
  const char* rootName = root == kRootLocalMachine ? "HKEY_LOCAL_MACHINE"
                         : root == kRootClassesRoot ? "HKEY_CLASSES_ROOT"
                                                    : nullptr;
  WriteLog(LogLinePrefix(kLogRegister));
  if (rootName) {
    WriteLog(rootName);
    WriteLog(",");
  }
  const char* fields[] = {keyPath, defaultValue, valueName, valueData};
  for (int i = 0; i < 4; ++i) {
    if (i > 0) WriteLog(",");
    WriteLog(fields[i]);
  }
  WriteLog("\r\n");
}
