#include "launcher/launch.h"

#include <string>

#include "launcher/constants.h"
#include "launcher/platform_ops.h"

namespace launcher {
namespace {

// Starts `candidate` with the two browser arguments; true when a child was created. The start
// result is released before the command.
bool start_browser(std::string_view candidate) {
  ProcessCommand command = create_command(candidate);
  {
    std::string app_arg;
    app_arg.reserve(APP_ARG_PREFIX.size() + APP_URL.size());
    app_arg.append(APP_ARG_PREFIX).append(APP_URL);
    add_argument(command, app_arg);
  }
  add_argument(command, WINDOW_SIZE_ARG);
  // The start result is a temporary: it is released at the end of this statement, before
  // the command.
  return spawn(command).has_value();
}

}  // namespace

void run_launcher() {
  for (const std::string_view candidate : BROWSER_CANDIDATES) {
    if (path_exists(candidate) && start_browser(candidate)) return;
  }
  ProcessCommand command = create_command(FALLBACK_PROGRAM);
  for (const std::string_view argument : FALLBACK_ARGS) add_argument(command, argument);
  static_cast<void>(spawn(command));
}

}  // namespace launcher
