// The standard library's throw points, for a program built without exceptions.
//
// The containers report a request they cannot meet (a length past max_size(), an index out of
// range) by calling these functions, which libstdc++ implements by throwing. Linking those brings
// in the whole unwinder, the exception runtime and the demangler. Defined here, they end the
// program through the fatal-error report instead, which is what an exception nobody catches would
// come to anyway, and the linker no longer takes libstdc++'s definitions.
//
// Each of these is reached only by a broken invariant or an impossible size: the program never
// asks a container for more than it holds.

#include "platform/fatal.h"

namespace std {

[[noreturn]] void __throw_bad_alloc() { launcher::fatal_error("memory allocation failed"); }

[[noreturn]] void __throw_bad_array_new_length() {
  launcher::fatal_error("memory allocation failed: array length too large");
}

[[noreturn]] void __throw_length_error(const char* what) { launcher::fatal_error(what); }

[[noreturn]] void __throw_logic_error(const char* what) { launcher::fatal_error(what); }

// The format is reported as it stands: formatting it would need the code this file keeps out.
[[noreturn]] void __throw_out_of_range_fmt(const char* format, ...) {
  launcher::fatal_error(format);
}

}  // namespace std
