// The benchmark's yardstick: the launcher's whole job done with the fewest Win32 calls its rules
// allow, in plain C with no heap and no C++ runtime. Same start-up (stack-overflow report handler,
// stack guarantee, thread name), same walk (probe, start, next probe), same fallback, the same
// CreateProcessW arguments and command lines. Paths and command lines are fixed texts here, so no
// conversion work is done at run time; the one GetFullPathNameW per start is the batch-script test.
//
// Built by bench/run:
//   x86_64-w64-mingw32-gcc-posix -O2 -s -mwindows -municode -DAPP_URL=L\"https://...\" baseline.c
// With -DRUNTIME_ONLY the program does nothing but return 0: the C runtime's own calls.

#include <windows.h>

#ifndef APP_URL
#define APP_URL L"https://example.com/"
#endif

#ifndef RUNTIME_ONLY

#define EDGE_X86 L"C:\\Program Files (x86)\\Microsoft\\Edge\\Application\\msedge.exe"
#define EDGE L"C:\\Program Files\\Microsoft\\Edge\\Application\\msedge.exe"
#define CHROME L"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe"
#define BROWSER_ARGS L" --app=" APP_URL L" --window-size=1280,820"

static const wchar_t* const CANDIDATES[3] = {EDGE_X86, EDGE, CHROME};
static const wchar_t LINE_EDGE_X86[] = L"\"" EDGE_X86 L"\"" BROWSER_ARGS;
static const wchar_t LINE_EDGE[] = L"\"" EDGE L"\"" BROWSER_ARGS;
static const wchar_t LINE_CHROME[] = L"\"" CHROME L"\"" BROWSER_ARGS;
#define UNITS(a) (sizeof(a) / sizeof *(a))
static const wchar_t* const BROWSER_LINES[3] = {LINE_EDGE_X86, LINE_EDGE, LINE_CHROME};
static const size_t BROWSER_LINE_UNITS[3] = {UNITS(LINE_EDGE_X86), UNITS(LINE_EDGE),
                                             UNITS(LINE_CHROME)};
static const wchar_t FALLBACK_LINE[] = L"\"cmd\" /C start \"\" " APP_URL;

static SRWLOCK spawn_lock = SRWLOCK_INIT;
static volatile DWORD last_error;  // what an error value would hold; nothing looks at it

static LONG CALLBACK report_stack_overflow(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
    static const char text[] = "\nthread 'main' has overflowed its stack\n";
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written;
    if (err != NULL && err != INVALID_HANDLE_VALUE) {
      WriteFile(err, text, sizeof text - 1, &written, NULL);
    }
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

static void start_runtime(void) {
  typedef HRESULT(WINAPI * SetDescription)(HANDLE, PCWSTR);
  ULONG reserve = 20480;
  AddVectoredExceptionHandler(0, report_stack_overflow);
  SetThreadStackGuarantee(&reserve);
  HMODULE kernel32 = GetModuleHandleA("kernel32");
  if (kernel32 == NULL) return;
  FARPROC proc = GetProcAddress(kernel32, "SetThreadDescription");
  if (proc != NULL) ((SetDescription)(void (*)(void))proc)(GetCurrentThread(), L"main");
}

// 0: read; otherwise the OS code. One open; the tag only for a reparse point.
static DWORD query_metadata(const wchar_t* path, DWORD mode, DWORD* attributes, DWORD* tag) {
  *tag = 0;
  HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | mode, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return error;
    WIN32_FIND_DATAW data = {0};
    HANDLE find = FindFirstFileExW(path, FindExInfoBasic, &data, FindExSearchNameMatch, NULL, 0);
    if (find == INVALID_HANDLE_VALUE) return error;
    FindClose(find);
    *attributes = data.dwFileAttributes;
    if (*attributes & FILE_ATTRIBUTE_REPARSE_POINT) *tag = data.dwReserved0;
    if (mode == 0 && (*attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (*tag & 0x20000000)) {
      return error;
    }
    return 0;
  }
  DWORD result = 0;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) {
    result = GetLastError();
  } else {
    *attributes = info.dwFileAttributes;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      FILE_ATTRIBUTE_TAG_INFO tag_info = {0};
      if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag_info, sizeof tag_info)) {
        result = GetLastError();
      } else if (tag_info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        *tag = tag_info.ReparseTag;
      }
    }
  }
  CloseHandle(file);
  return result;
}

static BOOL path_exists(const wchar_t* path) {
  DWORD attributes, tag;
  const DWORD error = query_metadata(path, 0, &attributes, &tag);
  if (error == 0) return TRUE;
  if (error != ERROR_CANT_ACCESS_FILE) return FALSE;
  if (query_metadata(path, FILE_FLAG_OPEN_REPARSE_POINT, &attributes, &tag) != 0) return FALSE;
  return !((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (tag & 0x20000000));
}

static HANDLE duplicate_standard_handle(DWORD which, BOOL* failed) {
  HANDLE own = GetStdHandle(which), duplicate = NULL;
  if (own == NULL || own == INVALID_HANDLE_VALUE) return NULL;
  if (!DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &duplicate, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    last_error = GetLastError();
    *failed = TRUE;
    return NULL;
  }
  return duplicate;
}

// Starts `app` with the fixed `line` as the launcher's spawner does; TRUE when a child was created.
static BOOL spawn(const wchar_t* app, const wchar_t* fixed_line, size_t line_units) {
  wchar_t full[MAX_PATH];
  wchar_t line[512];
  // The batch-script test: one GetFullPathNameW (every program here ends in ".exe").
  SetLastError(0);
  const DWORD k = GetFullPathNameW(app, MAX_PATH, full, NULL);
  if (k == 0 && (last_error = GetLastError()) != 0) return FALSE;
  if (line_units > sizeof line / sizeof *line) return FALSE;
  for (size_t i = 0; i < line_units; ++i) line[i] = fixed_line[i];  // a writable copy

  STARTUPINFOW startup = {0};
  PROCESS_INFORMATION info = {0};
  startup.cb = sizeof startup;
  BOOL failed = FALSE, started = FALSE;
  AcquireSRWLockExclusive(&spawn_lock);
  HANDLE in = duplicate_standard_handle(STD_INPUT_HANDLE, &failed);
  HANDLE out = failed ? NULL : duplicate_standard_handle(STD_OUTPUT_HANDLE, &failed);
  HANDLE err = failed ? NULL : duplicate_standard_handle(STD_ERROR_HANDLE, &failed);
  if (!failed) {
    if (in || out || err) {
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdInput = in, startup.hStdOutput = out, startup.hStdError = err;
    }
    started = CreateProcessW(app, line, NULL, NULL, TRUE, CREATE_UNICODE_ENVIRONMENT, NULL, NULL,
                             &startup, &info);
    if (!started) last_error = GetLastError();
  }
  if (err) CloseHandle(err);
  if (out) CloseHandle(out);
  if (in) CloseHandle(in);
  ReleaseSRWLockExclusive(&spawn_lock);
  if (started) {
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
  return started;
}

// `dir` + "\cmd.exe" into `out` when something is there.
static BOOL try_cmd_in(wchar_t* dir, DWORD k, wchar_t* out) {
  static const wchar_t name[] = L"cmd.exe";
  DWORD n = 0;
  if (k == 0 || k + 1 + sizeof name / sizeof *name > MAX_PATH) return FALSE;
  for (; n < k; ++n) out[n] = dir[n];
  if (out[n - 1] != L'\\' && out[n - 1] != L'/') out[n++] = L'\\';
  for (DWORD i = 0; i < sizeof name / sizeof *name; ++i) out[n++] = name[i];
  return GetFileAttributesW(out) != INVALID_FILE_ATTRIBUTES;
}

// "cmd" by the launcher's search: its own directory, then the system directory, the Windows
// directory and PATH. (The buffers suffice for a stock prefix; the real loop grows them.)
static BOOL find_cmd(wchar_t* found) {
  wchar_t dir[MAX_PATH];
  SetLastError(0);
  DWORD k = GetModuleFileNameW(NULL, dir, MAX_PATH);
  while (k > 0 && dir[k - 1] != L'\\' && dir[k - 1] != L'/') --k;
  if (try_cmd_in(dir, k, found)) return TRUE;
  SetLastError(0);
  if (try_cmd_in(dir, GetSystemDirectoryW(dir, MAX_PATH), found)) return TRUE;
  SetLastError(0);
  if (try_cmd_in(dir, GetWindowsDirectoryW(dir, MAX_PATH), found)) return TRUE;
  return FALSE;  // the PATH entries would follow; a stock prefix never gets here
}

static void run_launcher(void) {
  for (int i = 0; i < 3; ++i) {
    if (path_exists(CANDIDATES[i]) &&
        spawn(CANDIDATES[i], BROWSER_LINES[i], BROWSER_LINE_UNITS[i])) {
      return;
    }
  }
  wchar_t cmd[MAX_PATH];
  if (find_cmd(cmd)) spawn(cmd, FALLBACK_LINE, UNITS(FALLBACK_LINE));
}

#endif  // RUNTIME_ONLY

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR arguments, int show) {
  (void)instance, (void)previous, (void)arguments, (void)show;
#ifndef RUNTIME_ONLY
  start_runtime();
  run_launcher();
#endif
  return 0;
}
