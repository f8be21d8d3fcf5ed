#include "platform/probe.h"

#include "launcher/platform_ops.h"
#include "platform/unique_handle.h"
#include "platform/win32.h"

namespace launcher {
namespace {

constexpr std::uint32_t NAME_SURROGATE_BIT = 0x20000000;

// Metadata from the directory entry, for a file the open was refused on (locked, or no right to
// open it in a directory that can still be listed). Fails with `open_error`, the refused open's
// code; the find's own error is dropped.
Result<FileMetadata> query_directory_entry(const WideString& path, ReparseMode mode,
                                           DWORD open_error) {
  WIN32_FIND_DATAW data{};
  FindHandle find(::FindFirstFileExW(win::wide(path.c_str()), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, 0));
  if (!find.valid()) return std::unexpected(ServiceError::os(open_error));
  find.reset();
  FileMetadata metadata;
  metadata.attributes = data.dwFileAttributes;
  if (metadata.attributes & FILE_ATTRIBUTE_REPARSE_POINT) metadata.reparse_tag = data.dwReserved0;
  // An entry cannot be followed: a link found this way says nothing about its target.
  if (mode == ReparseMode::FOLLOW && is_name_surrogate(metadata)) {
    return std::unexpected(ServiceError::os(open_error));
  }
  return metadata;
}

Result<FileMetadata> query_open_handle(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) {
    return std::unexpected(ServiceError::os(::GetLastError()));
  }
  FileMetadata metadata;
  metadata.attributes = info.dwFileAttributes;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag)) {
      return std::unexpected(ServiceError::os(::GetLastError()));
    }
    if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) metadata.reparse_tag = tag.ReparseTag;
  }
  return metadata;
}

}  // namespace

bool is_name_surrogate(const FileMetadata& metadata) {
  return (metadata.attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         (metadata.reparse_tag & NAME_SURROGATE_BIT);
}

Result<FileMetadata> query_metadata(const WideString& path, ReparseMode mode) {
  // Access 0 asks for no right to the data, so it works on files others hold open; backup
  // semantics lets a directory be opened as well.
  HANDLE raw = ::CreateFileW(win::wide(path.c_str()), /*dwDesiredAccess=*/0,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | static_cast<DWORD>(mode),
                             /*hTemplateFile=*/nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
      return query_directory_entry(path, mode, error);
    }
    return std::unexpected(ServiceError::os(error));
  }
  // The error of a failed query is captured inside query_open_handle, before this closes.
  UniqueHandle file(raw);
  return query_open_handle(file.get());
}

bool path_exists(std::string_view path) {
  const Result<WideString> w = to_wide_path(path, /*always_prefix=*/true);
  if (!w) return false;
  const Result<FileMetadata> followed = query_metadata(*w, ReparseMode::FOLLOW);
  if (followed) return true;
  // ERROR_CANT_ACCESS_FILE: the reparse point cannot be followed here (an app execution alias is
  // the common case). Look at the reparse point itself; a link or junction still counts as absent.
  if (followed.error() != ServiceError::os(ERROR_CANT_ACCESS_FILE)) return false;
  const Result<FileMetadata> itself = query_metadata(*w, ReparseMode::NO_FOLLOW);
  return itself && !is_name_surrogate(*itself);
}

}  // namespace launcher
