#pragma once
// Starting a child process: program lookup, standard handles, CreateProcessW.
// `spawn` itself is declared with the launch sequence (launcher/platform_ops.h) and defined here.

#include <optional>
#include <string_view>
#include <vector>

#include "platform/service_error.h"
#include "platform/unique_handle.h"
#include "platform/wide_path.h"

namespace launcher {

inline constexpr std::string_view PROGRAM_SUFFIX = ".exe";
inline constexpr std::string_view PROGRAM_EXTENSION = "exe";
inline constexpr std::u16string_view SEARCH_VARIABLE = u"PATH";

// The path to pass as lpApplicationName. A program containing a separator is a path and is not
// searched; one ending ".exe" is not even tested. A bare name is looked for in the launcher's own
// directory, the system directory, the Windows directory and the PATH entries, in that order, with
// ".exe" added when it contains no ".". Fails with InvalidInput "program path has no file name"
// (empty, or ending in a separator), InvalidInput "nul byte found in provided data" (a bare name
// holding U+0000), NotFound "program not found", or as to_wide_program_path fails.
Result<WideString> resolve_program(std::string_view program);

// The path as a WideString when GetFileAttributesW finds anything there (a directory counts);
// nothing otherwise. Never an error.
std::optional<WideString> try_program_file(std::u16string_view path);

// The entries of a PATH value: ';' separates, '"' toggles a quoted state in which ';' is part of
// the entry, quotes belong to no entry, empty entries are dropped.
std::vector<std::u16string> split_search_path(std::u16string_view value);

// The search candidate for `name` in `directory`.
std::u16string search_candidate(std::u16string_view directory, std::u16string_view name,
                                bool add_extension);

// True when the last four units of `path` are ".bat" or ".cmd", in any case.
bool is_batch_script_name(std::u16string_view path);

// An inheritable duplicate of the launcher's own standard handle `which` (STD_INPUT_HANDLE and so
// on), or an empty owner when the launcher has none (NULL or INVALID_HANDLE_VALUE). Fails with the
// DuplicateHandle error.
Result<UniqueHandle> duplicate_standard_handle(DWORD which);

}  // namespace launcher
