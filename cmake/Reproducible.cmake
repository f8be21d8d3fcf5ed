# The same sources and cache values give the same launcher.exe, byte for byte, whichever directory
# it is built in and whenever: a deployer can rebuild a published release and compare it.
#
# - GNU ld for PE writes the link time into the COFF header (TimeDateStamp) unless told not to;
#   with --no-insert-timestamp the field is 0. The checksum it writes is then a function of the
#   bytes alone.
# - __FILE__ (an assert, a future diagnostic) would carry the source and build directories;
#   -ffile-prefix-map writes them as relative paths. Debug information goes the same way, though
#   the shipped program is stripped (-s).
# - windres writes no time into the resources (their directory timestamps are 0).
#
# The release tests (cmake/ReleaseTests.cmake) build the launcher twice in two directories and
# compare the results.

target_link_options(project_options INTERFACE -Wl,--no-insert-timestamp)
target_compile_options(project_options INTERFACE
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
  -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
