#pragma once
// Does anything exist at a path, exactly as the Windows file functions report it.

#include <cstdint>

#include "platform/service_error.h"
#include "platform/wide_path.h"

namespace launcher {

// How query_metadata treats a reparse point the path names; the value is the CreateFileW flag.
enum class ReparseMode : std::uint32_t {
  FOLLOW = 0,                // resolve reparse points; describe the final target
  NO_FOLLOW = 0x00200000,    // FILE_FLAG_OPEN_REPARSE_POINT: describe the reparse point itself
};

struct FileMetadata {
  std::uint32_t attributes = 0;   // FILE_ATTRIBUTE_* bits
  std::uint32_t reparse_tag = 0;  // the tag when attributes has FILE_ATTRIBUTE_REPARSE_POINT, else 0
};

// Symbolic links and junctions are name surrogates (tag bit 29); an app execution alias is not.
bool is_name_surrogate(const FileMetadata& metadata);

// Reads the attributes (and reparse tag) of what `path` names, opening it with no access right.
// When the open is refused with ERROR_ACCESS_DENIED or ERROR_SHARING_VIOLATION the directory
// entry is read instead; in FOLLOW mode a name-surrogate entry then fails with the open's code.
// Fails with the OS code of the failing call. Holds no handle when it returns.
Result<FileMetadata> query_metadata(const WideString& path, ReparseMode mode);

// path_exists (declared with the launch sequence) is defined here.

}  // namespace launcher
