#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>

#include <cstring>

#include "script/records.h"
#include "startup/compat.h"
#include "startup/text.h"
#include "startup/win_guards.h"
#include "system/program_start.h"

int CommandLineProgramN(char* output, size_t cap, const char* programPath) {
  if (cap == 0) return 0;
  output[0] = 0;
  bool quote = !strchr(programPath, '"');
  size_t need = strlen(programPath) + (quote ? 2 : 0);
  if (need >= cap) return 0;
  if (quote) {
    FormatTextN(output, cap, "\"%s\"", programPath);
  } else {
    CopyTextN(output, cap, programPath);
  }
  return 1;
}

namespace {

// 1 when this process runs with the administrator half of a split token: the rights came from
// an elevation, and the desktop's shell runs as the signed-in user without them.
int RunsElevatedBesideTheUser() {
  TOKEN_ELEVATION_TYPE type;
  return ReadProcessToken(TokenElevationType, &type, sizeof type) && type == TokenElevationTypeFull;
}

// Splits a command line as process creation reads it: a quoted program, or the first run of
// words that names an existing file (with ".exe" added to a name without an extension). 0 when
// the program names no existing file: the plain start then reports that.
int SplitCommandLine(const char* line, char (&program)[kPathChars], const char** arguments) {
  const char* end;
  if (line[0] == '"') {
    end = strchr(line + 1, '"');
    if (!end || static_cast<size_t>(end - line - 1) >= sizeof program) return 0;
    memcpy(program, line + 1, end - line - 1);
    program[end - line - 1] = 0;
    *arguments = end + 1;
  } else {
    for (end = line;; ++end) {
      if (*end && *end != ' ' && *end != '\t') continue;
      size_t length = static_cast<size_t>(end - line);
      if (length + 4 >= sizeof program) return 0;
      memcpy(program, line, length);
      program[length] = 0;
      const char* name = strrchr(program, '\\');
      if (!strchr(name ? name : program, '.')) AppendText(program, ".exe");
      DWORD attributes = GetFileAttributesA(program);
      if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) break;
      if (!*end) return 0;
    }
    *arguments = end;
  }
  while (**arguments == ' ' || **arguments == '\t') ++*arguments;
  DWORD attributes = GetFileAttributesA(program);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// An automation text made from a text of the program's code page, freed with the object.
class AutomationText {
 public:
  explicit AutomationText(const char* text) {
    typedef BSTR(WINAPI * Allocate)(const OLECHAR*, UINT);
    auto allocate = SystemFunction<Allocate>("oleaut32.dll", "SysAllocStringLen");
    free_ = SystemFunction<void(WINAPI*)(BSTR)>("oleaut32.dll", "SysFreeString");
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (!allocate || !free_ || length <= 0) return;
    text_ = allocate(nullptr, static_cast<UINT>(length - 1));
    if (text_) MultiByteToWideChar(CP_ACP, 0, text, -1, text_, length);
  }
  ~AutomationText() {
    if (text_) free_(text_);
  }
  AutomationText(const AutomationText&) = delete;
  AutomationText& operator=(const AutomationText&) = delete;
  BSTR Get() const { return text_; }
  VARIANT AsVariant() const {
    VARIANT v = {};
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text_;
    return v;
  }

 private:
  BSTR text_ = nullptr;
  void(WINAPI* free_)(BSTR) = nullptr;
};

// Starts the program through the desktop's shell window, which runs as the signed-in user:
// the shell's own ShellExecute, reached through the desktop's folder view. 1 when the shell
// took the start.
int StartThroughDesktop(const char* program, const char* arguments, const char* folder) {
  ComScope com;
  ComRef<IShellWindows> windows;
  if (!com.Ok() ||
      FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.OutVoid())))
    return 0;
  VARIANT location = {}, root = {};
  V_VT(&location) = VT_I4;
  V_I4(&location) = CSIDL_DESKTOP;
  long window = 0;
  ComRef<IDispatch> desktop;
  ComRef<IServiceProvider> provider;
  ComRef<IShellBrowser> browser;
  ComRef<IShellView> view;
  ComRef<IDispatch> background;
  ComRef<IShellFolderViewDual> folderView;
  ComRef<IDispatch> application;
  ComRef<IShellDispatch2> shell;
  if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.Out()) != S_OK ||
      FAILED(desktop->QueryInterface(IID_IServiceProvider, provider.OutVoid())) ||
      FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.OutVoid())) ||
      FAILED(browser->QueryActiveShellView(view.Out())) ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.OutVoid())) ||
      FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.OutVoid())) ||
      FAILED(folderView->get_Application(application.Out())) ||
      FAILED(application->QueryInterface(IID_IShellDispatch2, shell.OutVoid())))
    return 0;
  AutomationText file(program), parameters(arguments), directory(folder);
  if (!file.Get() || !parameters.Get() || !directory.Get()) return 0;
  VARIANT verb = {}, show = {};
  V_VT(&show) = VT_I4;
  V_I4(&show) = SW_SHOWNORMAL;
  return SUCCEEDED(shell->ShellExecute(file.Get(), parameters.AsVariant(), directory.AsVariant(), verb, show));
}

}  // namespace

int StartProgram(const char* commandLine) {
  // An elevated setup starts the program as the signed-in user where the desktop's shell
  // lends its hand, so the program does not run with administrator rights (or as the
  // administrator whose password a standard user typed).
  if (RunsElevatedBesideTheUser()) {
    char program[kPathChars], folder[kPathChars];
    const char* arguments;
    DWORD n = GetCurrentDirectoryA(sizeof folder, folder);
    if (n > 0 && n < sizeof folder && SplitCommandLine(commandLine, program, &arguments) &&
        StartThroughDesktop(program, arguments, folder))
      return 1;
  }
  // CreateProcessA may write into the command line: it gets a copy of its own.
  char line[32768];
  if (strlen(commandLine) >= sizeof line) return 0;
  CopyText(line, commandLine);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  // The program gets the system's own error mode, not the setup's quiet one.
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup,
                      &process))
    return 0;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 1;
}
