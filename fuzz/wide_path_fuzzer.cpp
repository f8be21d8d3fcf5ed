// Paths on their way to the wide-character functions, over the simulated kernel32, and the loop
// that reads the texts Windows writes into a caller's buffer.
//
// Input, path mode (byte 0 bit 7 clear):
//   byte 0 bits 0-1  the current directory: C:\work, D:\, C:\ then `param` letters, \\srv\share\dir
//   byte 0 bits 2-3  who answers GetFullPathNameW: the simulation; the resolver below reporting the
//                    size it needs exactly; the same reporting 3 * param units more than it needs
//                    (as Windows may); the same failing with ERROR_FILENAME_EXCED_RANGE for a full
//                    path longer than 64 + 4 * param units
//   byte 1           param
//   the rest         the path, UTF-8
// Buffer mode (byte 0 bit 7 set):
//   byte 0 bits 0-2  the call, in BufferCall order (mod 5)
//   bytes 1-2, 3-4   the lengths of the first text and of a later one (little-endian, 14 bits)
//   byte 5           low nibble: the call from which the later text is written (0: never), as
//                    when the current directory changes between two calls; high nibble: the call
//                    (1-based) that fails with ERROR_ACCESS_DENIED (0: none)
//   byte 6           units the size-reporting calls ask for beyond what they need
//   the rest         the units the texts are made of (pairs of bytes, cycled)

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/service_error.h"
#include "platform/utf16.h"
#include "platform/wide_path.h"
#include "platform/win32.h"
#include "tests/sim/kernel32_sim.h"

namespace {

using launcher::BufferCall;
using launcher::ErrorCategory;
using launcher::LONG_PATH_PREFIX;
using launcher::LONG_UNC_PREFIX;
using launcher::Result;
using launcher::ServiceError;
using launcher::WideString;

constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr char16_t POISON = 0xA5A5;

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t at(std::size_t i) const { return i < size ? data[i] : 0; }
};

bool is_separator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

bool holds_nul(std::u16string_view text) { return text.find(u'\0') != std::u16string_view::npos; }

// Fills what the call was offered, as a system call may scribble on a buffer it then reports too
// small; writing all of it also shows any buffer smaller than the size it was offered with.
void poison(char16_t* buffer, DWORD size) { std::fill(buffer, buffer + size, POISON); }

// ---- path mode ----------------------------------------------------------------------------------

// GetFullPathNameW as a pure function of its argument, with the quirks that matter here: "\\?\"
// paths are left alone; "/" becomes "\"; trailing dots and spaces of the last component go; a
// legacy device name as the last component of a drive path becomes the device path "\\.\NAME".
struct Resolver {
  std::u16string current_directory;
  std::u16string root;  // of the current directory: "C:" or "\\srv\share"

  std::u16string operator()(std::u16string_view name) const {
    std::u16string s(name);
    if (s.starts_with(LONG_PATH_PREFIX)) return s;
    std::replace(s.begin(), s.end(), u'/', u'\\');
    std::u16string t;
    if (s.starts_with(u"\\\\")) {
      t = s;
    } else if (s.size() >= 2 && s[1] == u':') {
      t = s.size() >= 3 && s[2] == u'\\' ? s : s.substr(0, 2) + u"\\" + s.substr(2);
    } else if (s.starts_with(u"\\")) {
      t = root + s;
    } else {
      t = current_directory;
      if (!t.ends_with(u'\\')) t.push_back(u'\\');
      t += s;
    }
    const std::size_t last = t.rfind(u'\\');
    const std::size_t start = last == std::u16string::npos ? 0 : last + 1;
    const std::u16string_view component = std::u16string_view(t).substr(start);
    if (component != u"." && component != u"..") {
      while (t.size() > start && (t.back() == u'.' || t.back() == u' ')) t.pop_back();
    }
    if (!t.starts_with(u"\\\\")) {
      std::u16string device = t.substr(start);
      for (char16_t& unit : device) {
        if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
      }
      if (device == u"NUL" || device == u"CON") t = u"\\\\.\\" + device;
    }
    return t;
  }
};

enum class Answerer { Simulation, Exact, OverEstimating, Failing };

// What GetFullPathNameW gives for `name` on this run's machine: the text, or the error.
struct FullPath {
  std::optional<std::u16string> text;
  DWORD error = 0;
};

struct Machine {
  Answerer answerer;
  Resolver resolver;
  DWORD extra = 0;       // OverEstimating
  std::size_t limit = 0; // Failing

  FullPath full_path(std::u16string_view name) const {
    if (answerer != Answerer::Simulation) {
      std::u16string text = resolver(name);
      if (answerer == Answerer::Failing && text.size() > limit) return {std::nullopt, ERROR_FILENAME_EXCED_RANGE};
      return {std::move(text), 0};
    }
    // The simulation itself, asked with room to spare; its record of this call is not kept.
    const std::size_t kept = sim::state().calls.size();
    const std::u16string n(name);
    std::vector<char16_t> buffer(n.size() + sim::state().current_directory.size() + 64);
    SetLastError(0);
    const DWORD k = ::GetFullPathNameW(n.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(),
                                       nullptr);
    const DWORD error = GetLastError();
    sim::state().calls.resize(kept);
    FUZZ_REQUIRE(k < buffer.size());
    if (k == 0 && error != 0) return {std::nullopt, error};
    return {std::u16string(buffer.data(), k), 0};
  }

  void install() const {
    if (answerer == Answerer::Simulation) return;
    sim::state().full_path_responder = [*this](const char16_t* name, char16_t* buffer,
                                               DWORD size) -> DWORD {
      FUZZ_REQUIRE(name != nullptr && buffer != nullptr && size > 0);
      poison(buffer, size);
      const FullPath full = full_path(name);
      if (!full.text) {
        SetLastError(full.error);
        return 0;
      }
      const DWORD need = static_cast<DWORD>(full.text->size() + 1 + extra);
      if (size < need) return need;
      std::copy(full.text->begin(), full.text->end(), buffer);
      buffer[full.text->size()] = 0;
      return static_cast<DWORD>(full.text->size());
    };
  }
};

// Which file a path names: the "\\?\", "\\?\UNC\", "\\.\" or "\??\" form taken off, "/" as "\",
// ASCII case folded, trailing separators dropped.
std::u16string file_key(std::u16string_view path) {
  std::u16string p(path);
  if (p.starts_with(LONG_UNC_PREFIX)) {
    p = u"\\\\" + p.substr(LONG_UNC_PREFIX.size());
  } else if (p.starts_with(LONG_PATH_PREFIX) || p.starts_with(u"\\\\.\\") ||
             p.starts_with(u"\\??\\")) {
    p = p.substr(4);
  }
  return sim::normalise(p);
}

bool is_verbatim(std::u16string_view path) {
  return path.starts_with(LONG_PATH_PREFIX) || path.starts_with(u"\\??\\");
}

// A prefix form right after another: "\\?\\\?\C:\x", "\\?\\\.\pipe", "\\?\UNC\\??\x".
bool doubled_prefix(std::u16string_view path) {
  std::u16string p(path);
  std::replace(p.begin(), p.end(), u'/', u'\\');
  std::u16string_view rest = p;
  if (rest.starts_with(LONG_UNC_PREFIX)) {
    rest.remove_prefix(LONG_UNC_PREFIX.size());
  } else if (rest.starts_with(LONG_PATH_PREFIX) || rest.starts_with(u"\\??\\") ||
             rest.starts_with(u"\\\\.\\")) {
    rest.remove_prefix(4);
  } else {
    return false;
  }
  return rest.starts_with(LONG_PATH_PREFIX) || rest.starts_with(u"\\??\\") ||
         rest.starts_with(u"\\\\.\\");
}

struct Outcome {
  Result<WideString> result;
  std::vector<std::u16string> asked;  // the names GetFullPathNameW was given
  bool other_calls = false;           // anything but GetFullPathNameW
};

template <class Convert>
Outcome observe(Convert convert) {
  sim::state().calls.clear();
  Outcome out{convert(), {}, false};
  for (const sim::Call& call : sim::state().calls) {
    if (call.function == "GetFullPathNameW") {
      out.asked.push_back(call.text);
    } else {
      out.other_calls = true;
    }
  }
  return out;
}

// What holds for either conversion: NUL refused before any call, nothing but GetFullPathNameW
// consulted, no call means no change, errors are GetFullPathNameW's own, and a result names the
// same file as the path it came from.
void check_common(const Machine& machine, const WideString& w, const Outcome& out) {
  if (holds_nul(w)) {
    FUZZ_REQUIRE(!out.result);
    FUZZ_REQUIRE(out.result.error() ==
                 ServiceError::of(ErrorCategory::InvalidInput, launcher::MSG_WINAPI_NUL));
    FUZZ_REQUIRE(sim::state().calls.empty());
    return;
  }
  FUZZ_REQUIRE(!out.other_calls);
  if (!out.result) {
    FUZZ_REQUIRE(out.result.error().is_os());
    const bool reported = std::any_of(out.asked.begin(), out.asked.end(), [&](const auto& name) {
      return machine.full_path(name).error == out.result.error().os_code();
    });
    FUZZ_REQUIRE(reported);
    return;
  }
  const WideString& r = *out.result;
  FUZZ_REQUIRE(!holds_nul(r));
  if (out.asked.empty()) FUZZ_REQUIRE(r == w);
  for (const std::u16string& name : out.asked) FUZZ_REQUIRE(machine.full_path(name).text);

  // A prefix this code put on goes on a full path, which has no "/" (a verbatim path would take it
  // as part of a name), and never on top of another prefix the path did not already carry.
  const FullPath full = machine.full_path(w);
  if (r.starts_with(LONG_PATH_PREFIX) && !w.starts_with(LONG_PATH_PREFIX)) {
    FUZZ_REQUIRE(r.find(u'/') == WideString::npos);
    FUZZ_REQUIRE(!doubled_prefix(r) || doubled_prefix(w) ||
                 (full.text && doubled_prefix(*full.text)));
  }

  const auto resolve = [&](const std::u16string& path) -> std::optional<std::u16string> {
    if (is_verbatim(path)) return path;
    return machine.full_path(path).text;
  };
  const std::optional<std::u16string> named = resolve(w);
  const std::optional<std::u16string> result_names = resolve(r);
  if (named && result_names) FUZZ_REQUIRE(file_key(*named) == file_key(*result_names));
}

void check_wide_path(const Machine& machine, const WideString& w, bool always_prefix,
                     const Outcome& out) {
  check_common(machine, w, out);
  if (holds_nul(w)) return;
  const std::size_t units = w.size() + 1;
  const bool drive_absolute =
      w.size() >= 3 && !is_separator(w[0]) && w[1] == u':' && is_separator(w[2]);
  const bool two_separators = w.size() >= 2 && is_separator(w[0]) && is_separator(w[1]);
  const bool short_path = units < launcher::SHORT_PATH_LIMIT;
  if (w.empty() || is_verbatim(w) || (short_path && (drive_absolute || two_separators))) {
    FUZZ_REQUIRE(out.asked.empty());
  }
  if (out.asked.empty()) return;
  // One call, or two when the first buffer was too small for the size the call reported.
  FUZZ_REQUIRE(out.asked.size() <= 2);
  FUZZ_REQUIRE(std::all_of(out.asked.begin(), out.asked.end(), [&](const auto& name) { return name == w; }));
  if (!out.result) return;

  // The full path as GetFullPathNameW gave it, unless a prefix is asked for or it is too long for
  // a directory path: then with the prefix its form needs.
  const std::u16string abs = *machine.full_path(w).text;
  const WideString& r = *out.result;
  const bool drive_form = abs.size() >= 3 && abs[1] == u':' && abs[2] == u'\\';
  const bool unc_form = abs.starts_with(u"\\\\") && !abs.starts_with(LONG_PATH_PREFIX);
  const bool long_full = abs.size() + 1 >= launcher::SHORT_PATH_LIMIT;
  if (!always_prefix && !long_full) FUZZ_REQUIRE(r == abs);
  if ((always_prefix || long_full) && (drive_form || unc_form)) {
    FUZZ_REQUIRE(r.starts_with(LONG_PATH_PREFIX));
  }
  if (drive_form && !abs.starts_with(u"\\\\")) {
    FUZZ_REQUIRE(r == abs || r == std::u16string(LONG_PATH_PREFIX) + abs);
  }
}

void check_program_path(const Machine& machine, const WideString& w, const Outcome& out,
                        const Outcome& plain_conversion) {
  check_common(machine, w, out);
  if (holds_nul(w)) return;
  // CreateProcessW takes a long lpApplicationName only as it is.
  if (w.size() + 1 > launcher::PROGRAM_PATH_LIMIT) {
    FUZZ_REQUIRE(out.asked.empty() && out.result && *out.result == w);
    return;
  }
  std::optional<std::u16string> plain;
  if (w.starts_with(LONG_PATH_PREFIX) && w.size() >= 7 && w[5] == u':' && w[6] == u'\\') {
    plain = w.substr(LONG_PATH_PREFIX.size());
  } else if (w.starts_with(LONG_UNC_PREFIX)) {
    plain = u"\\\\" + w.substr(LONG_UNC_PREFIX.size());
  }
  if (!plain) {
    // Anything else as the plain conversion gives it, error included.
    FUZZ_REQUIRE(out.result.has_value() == plain_conversion.result.has_value());
    if (out.result) {
      FUZZ_REQUIRE(*out.result == *plain_conversion.result);
    } else {
      FUZZ_REQUIRE(out.result.error() == plain_conversion.result.error());
    }
    return;
  }
  // The prefix comes off exactly when GetFullPathNameW leaves the plain form as it is.
  const FullPath full = machine.full_path(*plain);
  if (!full.text) {
    FUZZ_REQUIRE(!out.result && out.result.error() == ServiceError::os(full.error));
    return;
  }
  FUZZ_REQUIRE(out.result);
  FUZZ_REQUIRE(*out.result == (*full.text == *plain ? *plain : w));
}

void run_path_mode(const Input& in) {
  const std::uint8_t config = in.at(0);
  const std::uint8_t param = in.at(1);
  Machine machine{};
  switch (config & 3) {
    case 0: machine.resolver = {u"C:\\work", u"C:"}; break;
    case 1: machine.resolver = {u"D:\\", u"D:"}; break;
    case 2: machine.resolver = {u"C:\\" + std::u16string(param, u'd'), u"C:"}; break;
    default: machine.resolver = {u"\\\\srv\\share\\dir", u"\\\\srv\\share"}; break;
  }
  machine.answerer = static_cast<Answerer>((config >> 2) & 3);
  machine.extra = 3u * param;
  machine.limit = 64u + 4u * param;
  sim::state().current_directory = machine.resolver.current_directory;
  machine.install();

  const std::string_view path =
      in.size > 2 ? std::string_view(reinterpret_cast<const char*>(in.data) + 2, in.size - 2) : "";
  const WideString w = launcher::to_utf16(path);

  const Outcome plain = observe([&] { return launcher::to_wide_path(path, false); });
  check_wide_path(machine, w, false, plain);
  const Outcome prefixed = observe([&] { return launcher::to_wide_path(path, true); });
  check_wide_path(machine, w, true, prefixed);
  const Outcome program = observe([&] { return launcher::to_wide_program_path(path); });
  check_program_path(machine, w, program, plain);
}

// ---- buffer mode --------------------------------------------------------------------------------

std::u16string make_text(const Input& in, std::size_t length, std::size_t salt) {
  const std::size_t offset = 7;
  const std::size_t pairs = in.size > offset ? (in.size - offset) / 2 : 0;
  std::u16string text;
  text.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    char16_t unit = static_cast<char16_t>(u'a' + (i + salt) % 26);
    if (pairs > 0) {
      const std::size_t at = offset + 2 * ((i + salt) % pairs);
      unit = static_cast<char16_t>(in.data[at] | (in.data[at + 1] << 8));
      if (unit == 0) unit = u'x';
    }
    text.push_back(unit);
  }
  return text;
}

void run_buffer_mode(const Input& in) {
  const BufferCall call = static_cast<BufferCall>((in.at(0) & 7) % 5);
  const std::size_t first_length = (in.at(1) | (in.at(2) << 8)) & 0x3FFF;
  const std::size_t later_length = (in.at(3) | (in.at(4) << 8)) & 0x3FFF;
  const unsigned switch_at = in.at(5) & 0xF;
  const unsigned fail_at = in.at(5) >> 4;
  const DWORD extra = in.at(6);
  const std::u16string first = make_text(in, first_length, 0);
  const std::u16string later = make_text(in, later_length, 7);
  const bool truncates = call == BufferCall::ModuleFileName;
  const std::u16string name = call == BufferCall::EnvironmentVariable ? u"PATH" : u"x\\y";
  const char16_t* const passed_name =
      call == BufferCall::FullPathName || call == BufferCall::EnvironmentVariable ? name.c_str()
                                                                                 : nullptr;

  struct Script {
    unsigned calls = 0;
    DWORD last_size = 0;
    DWORD asked_for = 0;           // the size the last call reported it needs
    std::optional<std::u16string> written;
    DWORD failed = 0;
  } script;

  const sim::BufferResponder responder = [&](const char16_t* given, char16_t* buffer,
                                             DWORD size) -> DWORD {
    const unsigned index = script.calls++;
    FUZZ_REQUIRE(index < 64);  // the loop must end
    FUZZ_REQUIRE(buffer != nullptr);
    if (passed_name) FUZZ_REQUIRE(given != nullptr && std::u16string_view(given) == name);
    // The first offer is the stack buffer; each later one is at least what was asked for.
    if (index == 0) {
      FUZZ_REQUIRE(size == launcher::FIRST_BUFFER_UNITS);
    } else if (truncates) {
      FUZZ_REQUIRE(size > script.last_size);
    } else {
      FUZZ_REQUIRE(size >= script.asked_for);
    }
    script.last_size = size;
    poison(buffer, size);
    if (fail_at != 0 && index + 1 == fail_at) {
      script.failed = ERROR_ACCESS_DENIED;
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    const std::u16string& text = switch_at != 0 && index >= switch_at ? later : first;
    if (truncates) {
      // GetModuleFileNameW: a truncated, terminated text and the size offered.
      if (text.size() + 1 > size) {
        std::copy(text.begin(), text.begin() + (size - 1), buffer);
        buffer[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
      }
    } else {
      const DWORD need = static_cast<DWORD>(text.size() + 1 + extra);
      if (size < need) {
        script.asked_for = need;
        return need;
      }
    }
    // Zero for the empty text, with the last error left alone, as for an empty variable.
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    script.written = text;
    return static_cast<DWORD>(text.size());
  };
  switch (call) {
    case BufferCall::FullPathName: sim::state().full_path_responder = responder; break;
    case BufferCall::ModuleFileName: sim::state().module_responder = responder; break;
    case BufferCall::SystemDirectory: sim::state().system_directory_responder = responder; break;
    case BufferCall::WindowsDirectory: sim::state().windows_directory_responder = responder; break;
    case BufferCall::EnvironmentVariable: sim::state().environment_responder = responder; break;
  }

  const Result<std::u16string> got = launcher::call_with_growing_buffer(call, passed_name);
  FUZZ_REQUIRE(script.calls > 0);
  if (script.failed != 0) {
    FUZZ_REQUIRE(!got && got.error() == ServiceError::os(script.failed));
  } else {
    // Exactly what the deciding call wrote: nothing of an earlier text, nothing past the end.
    FUZZ_REQUIRE(got && script.written && *got == *script.written);
  }
  // The responder refers to this frame: it must not outlive it.
  sim::reset();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sim::reset();
  const Input in{data, size};
  if (in.at(0) & 0x80) {
    run_buffer_mode(in);
  } else {
    run_path_mode(in);
  }
  return 0;
}
