// The stand-in browser of the benchmark: a program that exits at once, so that what is timed is the
// launcher and not what it starts. No C runtime: its entry point is the image's entry.
//
// Built by bench/run: x86_64-w64-mingw32-gcc-posix -Os -s -nostdlib -mwindows -e quick_child_entry
//   -Wl,--image-base=0x160000000 quick_child.c -lkernel32

#include <windows.h>

void quick_child_entry(void) { ExitProcess(0); }
