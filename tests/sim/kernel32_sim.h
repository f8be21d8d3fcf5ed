#pragma once
// A simulated kernel32 for the host tests: the functions the gate declares, over an in-memory file
// system, with scripted failures, a record of every call, a per-thread last error and a count of
// open handles. State is global; `sim::reset()` gives a fresh machine.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace sim {

// Paths are compared without regard to ASCII case, "/" equal to "\", and with a "\\?\" prefix
// ("\\?\UNC\" for "\\") taken off, as the file system would resolve them.
std::u16string normalise(std::u16string_view path);

struct Entry {
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  DWORD reparse_tag = 0;
  std::u16string link_target;  // for a reparse point: where a FOLLOW open leads (empty: nowhere)
};

// What a CreateFileW on one path does instead of opening it: the error for each mode (0: no
// failure in that mode).
struct OpenFailure {
  DWORD follow = 0;
  DWORD no_follow = 0;
};

struct Call {
  std::string function;
  std::u16string text;  // the path, name or command line the call was given
  std::vector<std::uint64_t> args;
};

struct ProcessStart {
  std::u16string application;
  std::u16string command_line;
  bool process_attributes_null;
  bool thread_attributes_null;
  BOOL inherit_handles;
  DWORD creation_flags;
  bool environment_null;
  bool current_directory_null;
  STARTUPINFOW startup;
  bool lock_held;
};

// A buffer call's behaviour in place of the simulated one: (name, buffer, size) -> result. It may
// call SetLastError.
using BufferResponder = std::function<DWORD(const char16_t* name, char16_t* buffer, DWORD size)>;

struct State {
  std::map<std::u16string, Entry> files;  // keyed by normalise()
  std::u16string current_directory = u"C:\\work";

  std::map<std::u16string, OpenFailure> open_failures;
  std::map<std::u16string, DWORD> find_failures;
  std::map<std::u16string, DWORD> information_failures;     // GetFileInformationByHandle
  std::map<std::u16string, DWORD> tag_information_failures;  // GetFileInformationByHandleEx
  std::map<std::u16string, DWORD> full_path_failures;

  BufferResponder full_path_responder;
  BufferResponder module_responder;
  BufferResponder system_directory_responder;
  BufferResponder windows_directory_responder;
  BufferResponder environment_responder;

  std::u16string module_path = u"C:\\app\\launcher.exe";
  std::u16string system_directory = u"C:\\Windows\\system32";
  std::u16string windows_directory = u"C:\\Windows";
  std::map<std::u16string, std::u16string> environment;  // names compared as given

  HANDLE std_input;
  HANDLE std_output;
  HANDLE std_error;
  std::map<HANDLE, DWORD> duplicate_failures;  // by source handle
  std::optional<DWORD> create_process_failure;  // else: 2 when the application is missing,
                                                // 5 when it is a directory

  std::vector<Call> calls;
  std::vector<ProcessStart> starts;
  std::vector<HANDLE> closed;  // in order
  int bad_closes = 0;          // CloseHandle/FindClose of a handle that was not open
  bool lock_held = false;
  int lock_acquisitions = 0;
  std::string stderr_text;     // what WriteFile put on the standard error handle
};

State& state();

// A fresh machine: empty file system, standard handles present, nothing open, nothing recorded.
void reset();

// Handles that the code under test opened and has not closed.
std::size_t open_handle_count();

// The standard handles a launcher started with redirection would have (not counted as open).
HANDLE standard_handle(int which);  // 0 input, 1 output, 2 error

void add_file(std::u16string_view path, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
void add_directory(std::u16string_view path);
void add_reparse_point(std::u16string_view path, DWORD tag, std::u16string_view target = u"");

// The recorded calls of one function.
std::vector<Call> calls_of(std::string_view function);
// The recorded function names, in order.
std::vector<std::string> call_names();

}  // namespace sim
