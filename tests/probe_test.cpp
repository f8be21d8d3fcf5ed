#include "platform/probe.h"

#include <gtest/gtest.h>

#include "launcher/platform_ops.h"
#include "platform/utf16.h"
#include "tests/sim/sim_fixture.h"

namespace launcher {
namespace {

using sim::state;

constexpr DWORD SYMLINK = 0xA000000C;
constexpr DWORD JUNCTION = 0xA0000003;
constexpr DWORD APP_ALIAS = 0x8000001B;
const char* const CHROME = R"(C:\Program Files\Google\Chrome\Application\chrome.exe)";
const char16_t* const CHROME16 = uR"(C:\Program Files\Google\Chrome\Application\chrome.exe)";

class Probe : public SimTest {};

TEST_F(Probe, OpensWithNoAccessAndBackupSemanticsThenCloses) {
  sim::add_file(CHROME16);
  EXPECT_TRUE(path_exists(CHROME));
  const auto opens = sim::calls_of("CreateFileW");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].text, CHROME16);  // no prefix, no GetFullPathNameW
  // access 0, share read|write|delete, no security attributes, OPEN_EXISTING, backup semantics,
  // no template.
  EXPECT_EQ(opens[0].args, (std::vector<std::uint64_t>{0, 7, 0, 3, 0x02000000, 0}));
  EXPECT_TRUE(sim::calls_of("GetFullPathNameW").empty());
  EXPECT_EQ(sim::calls_of("CloseHandle").size(), 1u);
}

struct Case {
  const char* name;
  std::function<void()> arrange;  // on CHROME
  bool exists;
  std::vector<std::string> calls;  // after the open(s)
};

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      {"a file", [] { sim::add_file(CHROME16); }, true,
       {"CreateFileW", "GetFileInformationByHandle", "CloseHandle"}},
      {"a directory", [] { sim::add_directory(CHROME16); }, true,
       {"CreateFileW", "GetFileInformationByHandle", "CloseHandle"}},
      {"missing", [] {}, false, {"CreateFileW"}},
      {"path not found",
       [] { state().open_failures[sim::normalise(CHROME16)] = {ERROR_PATH_NOT_FOUND, 0}; },
       false, {"CreateFileW"}},
      {"locked file, entry readable",
       [] {
         sim::add_file(CHROME16);
         state().open_failures[sim::normalise(CHROME16)] = {ERROR_SHARING_VIOLATION, 0};
       },
       true, {"CreateFileW", "FindFirstFileExW", "FindClose"}},
      {"access denied, entry readable",
       [] {
         sim::add_file(CHROME16);
         state().open_failures[sim::normalise(CHROME16)] = {ERROR_ACCESS_DENIED, 0};
       },
       true, {"CreateFileW", "FindFirstFileExW", "FindClose"}},
      {"locked file, entry unreadable",
       [] {
         sim::add_file(CHROME16);
         state().open_failures[sim::normalise(CHROME16)] = {ERROR_SHARING_VIOLATION, 0};
         state().find_failures[sim::normalise(CHROME16)] = 5;
       },
       false, {"CreateFileW", "FindFirstFileExW"}},
      {"access denied on a symbolic link's entry",
       [] {
         sim::add_reparse_point(CHROME16, SYMLINK);
         state().open_failures[sim::normalise(CHROME16)] = {ERROR_ACCESS_DENIED, 0};
       },
       false, {"CreateFileW", "FindFirstFileExW", "FindClose"}},
      {"symbolic link to a file",
       [] {
         sim::add_file(u"C:\\real.exe");
         sim::add_reparse_point(CHROME16, SYMLINK, u"C:\\real.exe");
       },
       true, {"CreateFileW", "GetFileInformationByHandle", "CloseHandle"}},
      {"symbolic link to nothing", [] { sim::add_reparse_point(CHROME16, SYMLINK); }, false,
       {"CreateFileW"}},
      {"app execution alias that cannot be followed",
       [] {
         sim::add_reparse_point(CHROME16, APP_ALIAS);
         state().open_failures[sim::normalise(CHROME16)] = {ERROR_CANT_ACCESS_FILE, 0};
       },
       true,
       {"CreateFileW", "CreateFileW", "GetFileInformationByHandle", "GetFileInformationByHandleEx",
        "CloseHandle"}},
      {"symbolic link that cannot be followed",
       [] {
         sim::add_reparse_point(CHROME16, SYMLINK);
         state().open_failures[sim::normalise(CHROME16)] = {ERROR_CANT_ACCESS_FILE, 0};
       },
       false,
       {"CreateFileW", "CreateFileW", "GetFileInformationByHandle", "GetFileInformationByHandleEx",
        "CloseHandle"}},
      {"junction that cannot be followed",
       [] {
         sim::add_reparse_point(CHROME16, JUNCTION);
         state().open_failures[sim::normalise(CHROME16)] = {ERROR_CANT_ACCESS_FILE, 0};
       },
       false,
       {"CreateFileW", "CreateFileW", "GetFileInformationByHandle", "GetFileInformationByHandleEx",
        "CloseHandle"}},
      {"1920, then the reparse point itself cannot be opened",
       [] {
         sim::add_reparse_point(CHROME16, APP_ALIAS);
         state().open_failures[sim::normalise(CHROME16)] = {ERROR_CANT_ACCESS_FILE,
                                                            ERROR_FILE_NOT_FOUND};
       },
       false, {"CreateFileW", "CreateFileW"}},
      {"1920, then the reparse point's own open is refused but its entry is readable",
       [] {
         sim::add_reparse_point(CHROME16, APP_ALIAS);
         state().open_failures[sim::normalise(CHROME16)] = {ERROR_CANT_ACCESS_FILE,
                                                            ERROR_ACCESS_DENIED};
       },
       true, {"CreateFileW", "CreateFileW", "FindFirstFileExW", "FindClose"}},
      {"file information fails",
       [] {
         sim::add_file(CHROME16);
         state().information_failures[sim::normalise(CHROME16)] = 1117;
       },
       false, {"CreateFileW", "GetFileInformationByHandle", "CloseHandle"}},
      {"1920, then the tag information fails",
       [] {
         sim::add_reparse_point(CHROME16, APP_ALIAS);
         state().open_failures[sim::normalise(CHROME16)] = {ERROR_CANT_ACCESS_FILE, 0};
         state().tag_information_failures[sim::normalise(CHROME16)] = 1;
       },
       false,
       {"CreateFileW", "CreateFileW", "GetFileInformationByHandle", "GetFileInformationByHandleEx",
        "CloseHandle"}},
  };
  return all;
}

TEST_F(Probe, AnswersAsTheFileSystemReports) {
  for (const Case& c : cases()) {
    sim::reset();
    c.arrange();
    EXPECT_EQ(path_exists(CHROME), c.exists) << c.name;
    EXPECT_EQ(sim::call_names(), c.calls) << c.name;
    EXPECT_EQ(sim::open_handle_count(), 0u) << c.name;
    const auto opens = sim::calls_of("CreateFileW");
    if (opens.size() == 2) {
      EXPECT_EQ(opens[1].args[4], 0x02200000u) << c.name;
    }
  }
}

TEST_F(Probe, DirectoryEntryRecordIsReadWithBasicInfo) {
  sim::add_file(CHROME16);
  state().open_failures[sim::normalise(CHROME16)] = {ERROR_SHARING_VIOLATION, 0};
  ASSERT_TRUE(path_exists(CHROME));
  const auto finds = sim::calls_of("FindFirstFileExW");
  ASSERT_EQ(finds.size(), 1u);
  // FindExInfoBasic, FindExSearchNameMatch, no filter, no flags.
  EXPECT_EQ(finds[0].args, (std::vector<std::uint64_t>{1, 0, 0, 0}));
}

// The entry read after a refused open: in FOLLOW mode a name surrogate fails with the open's code;
// in NO_FOLLOW mode its record is the answer.
TEST_F(Probe, DirectoryEntryOfALinkDependsOnTheMode) {
  sim::add_reparse_point(CHROME16, SYMLINK);
  state().open_failures[sim::normalise(CHROME16)] = {ERROR_SHARING_VIOLATION,
                                                     ERROR_SHARING_VIOLATION};
  const WideString w = to_utf16(CHROME);
  const Result<FileMetadata> followed = query_metadata(w, ReparseMode::FOLLOW);
  ASSERT_FALSE(followed);
  EXPECT_EQ(followed.error(), ServiceError::os(ERROR_SHARING_VIOLATION));
  const Result<FileMetadata> itself = query_metadata(w, ReparseMode::NO_FOLLOW);
  ASSERT_TRUE(itself);
  EXPECT_EQ(itself->reparse_tag, SYMLINK);
  EXPECT_TRUE(is_name_surrogate(*itself));
}

TEST_F(Probe, MetadataOfAnOpenedReparsePoint) {
  sim::add_reparse_point(CHROME16, APP_ALIAS);
  const Result<FileMetadata> m = query_metadata(to_utf16(CHROME), ReparseMode::NO_FOLLOW);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->attributes, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(m->reparse_tag, APP_ALIAS);
  EXPECT_FALSE(is_name_surrogate(*m));
  const auto tag_calls = sim::calls_of("GetFileInformationByHandleEx");
  ASSERT_EQ(tag_calls.size(), 1u);
  EXPECT_EQ(tag_calls[0].args[1], 9u);  // FileAttributeTagInfo
  EXPECT_EQ(tag_calls[0].args[2], 8u);
}

TEST_F(Probe, UnconvertiblePathsAreAbsentWithoutAnyOpen) {
  EXPECT_FALSE(path_exists(std::string("C:\\a\0b", 6)));
  EXPECT_TRUE(state().calls.empty());
  state().full_path_failures[u"rel"] = 5;
  EXPECT_FALSE(path_exists("rel"));
  EXPECT_TRUE(sim::calls_of("CreateFileW").empty());
}

TEST_F(Probe, EmptyPathIsAbsent) {
  EXPECT_FALSE(path_exists(""));
  EXPECT_EQ(sim::call_names(), std::vector<std::string>{"CreateFileW"});
}

TEST_F(Probe, RelativePathIsOpenedInItsPrefixedFullForm) {
  sim::add_file(u"C:\\work\\x");
  EXPECT_TRUE(path_exists("x"));
  EXPECT_EQ(sim::calls_of("CreateFileW").at(0).text, u"\\\\?\\C:\\work\\x");
}

}  // namespace
}  // namespace launcher
