// The timing and tracing driver of the benchmark. It runs inside one Wine session, so that what is
// measured is the start and run of the program under test, not the start of Wine itself.
//
//   driver time PAIRS WARMUP A.exe B.exe
//       Runs A and B alternately (A B A B ...), WARMUP untimed pairs first, then PAIRS timed pairs.
//       Prints one line per timed run: "A <microseconds>" or "B <microseconds>".
//   driver trace EXE DEBUG_CHANNELS
//       Runs EXE once with WINEDEBUG set to DEBUG_CHANNELS for it (and what it starts); prints
//       "pid <hex>", the process id that Wine's +pid trace prefix shows.
//
// Each run: the program is started without standard handles, as a double-clicked GUI program is,
// inside a job object; the time covers CreateProcessW up to the moment the process has ended.
// Before the next run the driver waits (untimed) until everything the program started has ended too,
// so that a lingering child never competes with the next measurement.

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

static HANDLE job;
static LARGE_INTEGER frequency;

static void die(const char* what) {
  fprintf(stderr, "driver: %s failed, error %lu\n", what, GetLastError());
  exit(2);
}

// Waits until the job holds no process; after 20 s what is left is ended.
static void wait_job_empty(void) {
  for (int i = 0; i < 20000; ++i) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info;
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                   NULL)) {
      die("QueryInformationJobObject");
    }
    if (info.ActiveProcesses == 0) return;
    Sleep(1);
  }
  fprintf(stderr, "driver: children still running after 20 s, ending them\n");
  TerminateJobObject(job, 1);
}

// Runs `exe` once; returns the microseconds from before CreateProcessW to the end of the process.
static double run_once(const wchar_t* exe, DWORD* pid) {
  wchar_t line[1024];
  if (swprintf(line, 1024, L"\"%ls\"", exe) < 0) die("swprintf");
  STARTUPINFOW startup = {0};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;  // the three handles stay NULL: no standard handles
  PROCESS_INFORMATION info = {0};
  LARGE_INTEGER t0, t1;
  QueryPerformanceCounter(&t0);
  if (!CreateProcessW(exe, line, NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL, &startup,
                      &info)) {
    die("CreateProcessW");
  }
  if (!AssignProcessToJobObject(job, info.hProcess)) die("AssignProcessToJobObject");
  ResumeThread(info.hThread);
  if (WaitForSingleObject(info.hProcess, 60000) != WAIT_OBJECT_0) die("WaitForSingleObject");
  QueryPerformanceCounter(&t1);
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  if (code != 0) {
    fprintf(stderr, "driver: %ls exited with %lu\n", exe, code);
    exit(3);
  }
  if (pid) *pid = info.dwProcessId;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  wait_job_empty();
  return (double)(t1.QuadPart - t0.QuadPart) * 1e6 / (double)frequency.QuadPart;
}

int wmain(int argc, wchar_t** argv) {
  QueryPerformanceFrequency(&frequency);
  job = CreateJobObjectW(NULL, NULL);
  if (!job) die("CreateJobObjectW");
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {0};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

  if (argc == 6 && wcscmp(argv[1], L"time") == 0) {
    const int pairs = _wtoi(argv[2]), warmup = _wtoi(argv[3]);
    for (int i = 0; i < warmup + pairs; ++i) {
      const double a = run_once(argv[4], NULL);
      const double b = run_once(argv[5], NULL);
      if (i >= warmup) printf("A %.1f\nB %.1f\n", a, b);
    }
    return 0;
  }
  if (argc == 4 && wcscmp(argv[1], L"trace") == 0) {
    // Wine reads WINEDEBUG when a process starts; the child's comes from this environment.
    if (!SetEnvironmentVariableW(L"WINEDEBUG", argv[3])) die("SetEnvironmentVariableW");
    DWORD pid = 0;
    run_once(argv[2], &pid);
    printf("pid %04lx\n", pid);
    return 0;
  }
  fprintf(stderr, "usage: driver time PAIRS WARMUP A.exe B.exe | driver trace EXE CHANNELS\n");
  return 2;
}
