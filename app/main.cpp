// The process entry: a GUI-subsystem program that reads no argument, shows nothing, and exits 0
// whatever the launch sequence did.

#include "app/startup.h"
#include "launcher/launch.h"
#include "platform/win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  launcher::start_runtime();
  launcher::run_launcher();
  return 0;
}
