#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "install/answers.h"
#include "install/setup_log.h"
#include "script/records.h"
#include "startup/compat.h"
#include "startup/elevation.h"
#include "startup/startup.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/shortcuts.h"

namespace {

// The one overlapped operation on the first copy's pipe. It outlives every call: an operation
// given up on may still complete into it.
OVERLAPPED Pending;

// The elevated copy's end of the pipe, open from its start to its end.
HANDLE ReportToFirstCopy;

// Without a process to watch, the time the elevated copy has to connect once it was started.
constexpr DWORD kConnectWaitMs = 60000;

// Waits for the read or write begun on pipe (started: what beginning it returned); 1 when it
// went through.
int Complete(HANDLE pipe, BOOL started, DWORD* count) {
  return (started || GetLastError() == ERROR_IO_PENDING) && GetOverlappedResult(pipe, &Pending, count, TRUE);
}

// The copy's report: what it writes to its standard error handle goes on to this process's, up
// to the zero byte after which its exit code follows (four bytes, the lowest first).
void Relay(HANDLE report, unsigned long* code) {
  HANDLE out = GetStdHandle(STD_ERROR_HANDLE);
  unsigned char buffer[512], tail[5];
  DWORD tailLength = 0, got = 0, written;
  while (Complete(report, ReadFile(report, buffer, sizeof buffer, nullptr, &Pending), &got)) {
    DWORD text = 0;
    if (!tailLength) {
      while (text < got && buffer[text]) ++text;
      WriteFile(out, buffer, text, &written, nullptr);
    }
    while (text < got && tailLength < sizeof tail) tail[tailLength++] = buffer[text++];
  }
  if (tailLength == sizeof tail)
    *code = tail[1] | tail[2] << 8 | tail[3] << 16 | static_cast<unsigned long>(tail[4]) << 24;
}

// This process's account as text ("S-1-5-21-..."); empty where the system cannot tell it.
void OwnAccountSid(char (&text)[sizeof StarterAccount::Sid]) {
  text[0] = 0;
  union {
    TOKEN_USER user;
    char bytes[128];
  } token;
  if (ReadProcessToken(TokenUser, &token, sizeof token))
    FormatSidN(text, sizeof text, static_cast<const unsigned char*>(token.user.User.Sid));
}

}  // namespace

int CanAskForAdministrator() {
  TOKEN_ELEVATION elevation;
  return ReadProcessToken(TokenElevation, &elevation, sizeof elevation) && !elevation.TokenIsElevated;
}

void* OpenElevatedReport() {
  typedef HANDLE(WINAPI * CreatePipe)(LPCSTR, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, LPSECURITY_ATTRIBUTES);
  auto createPipe = SystemFunction<CreatePipe>("kernel32.dll", "CreateNamedPipeA");
  char name[64];
  ReportPipeName(name, GetCurrentProcessId());
  // The first and only instance of the name: nobody else can serve it while this one lives.
  HANDLE pipe = createPipe ? createPipe(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                        PIPE_TYPE_BYTE | PIPE_REJECT_REMOTE_CLIENTS, 1, 4096, 4096, 0, nullptr)
                           : INVALID_HANDLE_VALUE;
  return pipe == INVALID_HANDLE_VALUE ? nullptr : pipe;
}

unsigned long AwaitElevatedCopy(void* reportPipe, void* copyProcess) {
  HANDLE report = reportPipe, process = copyProcess;
  unsigned long code = kExitOutcomeUnknown;
  auto connect = SystemFunction<BOOL(WINAPI*)(HANDLE, LPOVERLAPPED)>("kernel32.dll", "ConnectNamedPipe");
  if (!Pending.hEvent) Pending.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (report && connect && Pending.hEvent) {
    DWORD count;
    HANDLE waits[2] = {Pending.hEvent, process};
    BOOL connected = connect(report, &Pending) || GetLastError() == ERROR_PIPE_CONNECTED;
    if (!connected && GetLastError() == ERROR_IO_PENDING)
      connected = WaitForMultipleObjects(process ? 2 : 1, waits, FALSE, process ? INFINITE : kConnectWaitMs) ==
                  WAIT_OBJECT_0;
    if (connected) {
      StarterAccount account;
      memset(&account, 0, sizeof account);
      OwnAccountSid(account.Sid);
      DWORD n = sizeof account.Name;
      if (!GetUserNameA(account.Name, &n)) account.Name[0] = 0;
      SpecialFolderPath(account.Programs, kFolderPrograms);
      SpecialFolderPath(account.StartMenu, kFolderStartMenu);
      SpecialFolderPath(account.Desktop, kFolderDesktop);
      // The copy reads the account first: where it cannot be told, the pipe is closed on it.
      if (Complete(report, WriteFile(report, &account, sizeof account, nullptr, &Pending), &count)) Relay(report, &code);
    }
  }
  if (report) CloseHandle(report);
  if (process) {
    WaitForSingleObject(process, INFINITE);
    DWORD exitCode;
    if (GetExitCodeProcess(process, &exitCode)) code = exitCode;
    CloseHandle(process);
  }
  return code;
}

int RunAsAdministrator(const char* program, const char* parameters, unsigned long* exitCode, int reportOnly) {
  HANDLE report = OpenElevatedReport();
  SHELLEXECUTEINFOA run = {};
  run.cbSize = sizeof run;
  // No error box of the shell: where the copy cannot be started, this one goes on itself.
  run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  run.lpVerb = "runas";
  run.lpFile = program;
  run.lpParameters = parameters;
  run.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExA(&run)) {
    DWORD error = GetLastError();
    if (report) CloseHandle(report);
    if (error != ERROR_CANCELLED) return 0;
    *exitCode = ERROR_CANCELLED;
    return 1;
  }
  // Without a process to wait for (the system did not say which), the copy's report tells
  // when it has ended and how.
  if (reportOnly && run.hProcess) {
    CloseHandle(run.hProcess);
    run.hProcess = nullptr;
  }
  *exitCode = AwaitElevatedCopy(report, run.hProcess);
  return 1;
}

int RunElevatedCopy(int autorunCheck, const char* arguments, unsigned long* exitCode) {
  char program[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, program, sizeof program);
  char parameters[kValueChars];
  if (n == 0 || n >= sizeof program ||
      !ElevatedArgumentsN(parameters, sizeof parameters, autorunCheck, GetCurrentProcessId(), arguments))
    return 0;
  return RunAsAdministrator(program, parameters, exitCode);
}

int ConnectFirstCopy(unsigned long firstCopy, StarterAccount* account) {
  memset(account, 0, sizeof *account);
  char name[64];
  ReportPipeName(name, firstCopy);
  // Identification only: whoever serves the pipe can never act in this copy's name.
  HANDLE pipe = firstCopy ? CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr)
                          : INVALID_HANDLE_VALUE;
  if (pipe == INVALID_HANDLE_VALUE) return 0;
  // Only the first copy itself is believed about its account.
  auto serverOf = SystemFunction<BOOL(WINAPI*)(HANDLE, PULONG)>("kernel32.dll", "GetNamedPipeServerProcessId");
  ULONG server = 0;
  DWORD got = 0, n;
  if (serverOf && serverOf(pipe, &server) && server == firstCopy)
    while (got < sizeof *account && ReadFile(pipe, reinterpret_cast<char*>(account) + got, sizeof *account - got, &n,
                                             nullptr) && n)
      got += n;
  if (got < sizeof *account) {
    CloseHandle(pipe);
    memset(account, 0, sizeof *account);
    return 0;
  }
  account->Sid[sizeof account->Sid - 1] = 0;
  char* texts[] = {account->Name, account->Programs, account->StartMenu, account->Desktop};
  for (char* text : texts) text[kPathChars - 1] = 0;
  SetStdHandle(STD_ERROR_HANDLE, pipe);
  ReportToFirstCopy = pipe;
  return 1;
}

void EndElevatedReport(int exitCode) {
  if (!ReportToFirstCopy) return;
  unsigned long code = static_cast<unsigned long>(exitCode);
  unsigned char tail[5] = {0, static_cast<unsigned char>(code), static_cast<unsigned char>(code >> 8),
                           static_cast<unsigned char>(code >> 16), static_cast<unsigned char>(code >> 24)};
  DWORD written;
  WriteFile(ReportToFirstCopy, tail, sizeof tail, &written, nullptr);
  CloseHandle(ReportToFirstCopy);
  ReportToFirstCopy = nullptr;
}

void UseStarterAccount(const StarterAccount& account) {
  if (!account.Sid[0]) return;
  char own[sizeof account.Sid];
  OwnAccountSid(own);
  if (strcmp(own, account.Sid) != 0) {
    // Another account's password was typed: the user's folders and hive are that account's.
    OtherUserRecords = 1;
    HKEY hive = nullptr;
    if (RegOpenKeyExA(HKEY_USERS, account.Sid, 0, KEY_ALL_ACCESS, &hive) != ERROR_SUCCESS) hive = nullptr;
    UserHive = hive;
    CopyText(UserHiveName, account.Sid);
    CopyText(ProgramsFolder, account.Programs);
    CopyText(StartMenuFolder, account.StartMenu);
    CopyText(DesktopFolder, account.Desktop);
  }
  char line[kValueChars];
  FormatText(line, "%s%s,%s\r\n", LogLinePrefix(kLogUserAccount), account.Name, account.Sid);
  KeepLogLine(line);
}
