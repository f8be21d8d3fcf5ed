#pragma once
// What the launcher starts, and with which arguments.

#include <array>
#include <string_view>

#include "launcher/app_url.h"

namespace launcher {

// Tried in this order; each text is both the probed path and the program started.
inline constexpr std::array<std::string_view, 3> BROWSER_CANDIDATES = {
    R"(C:\Program Files (x86)\Microsoft\Edge\Application\msedge.exe)",
    R"(C:\Program Files\Microsoft\Edge\Application\msedge.exe)",
    R"(C:\Program Files\Google\Chrome\Application\chrome.exe)",
};

inline constexpr std::string_view APP_ARG_PREFIX = "--app=";
inline constexpr std::string_view WINDOW_SIZE_ARG = "--window-size=1280,820";

// The command interpreter's `start` opens the address with whatever the system associates with
// it. The empty argument is the window title that `start` takes when its first argument is quoted.
inline constexpr std::string_view FALLBACK_PROGRAM = "cmd";
inline constexpr std::array<std::string_view, 4> FALLBACK_ARGS = {"/C", "start", "", APP_URL};

}  // namespace launcher
