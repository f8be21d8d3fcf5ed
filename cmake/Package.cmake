# The deployer's package: a ZIP holding the launcher renamed "<APP_NAME>.exe" and a README.txt for
# the people who will run it. `cpack --preset windows` (or cpack in the build directory) writes
# <APP_NAME>-<APP_VERSION>-win64.zip.
#
# Signing comes before packaging: sign launcher.exe into another file, point LAUNCHER_SIGNED_EXE
# at it and run cpack again. The package then holds the signed file, after a check that it is
# this build's launcher.exe with a signature added and nothing else changed (cmake/SignedExe.cmake):
# a copy signed from an older build or other cache values is refused.
#
# The package is reproducible: two builds of the same sources and values give the same ZIP. Its
# entries are dated SOURCE_DATE_EPOCH when that is set when configuring, else the time of the
# commit the source tree is at, else 1980-01-01 (cmake/normalize_zip.py).

set(LAUNCHER_SIGNED_EXE "" CACHE FILEPATH
    "A signed copy of this build's launcher.exe, packaged in its place (empty: package launcher.exe)")
if(NOT LAUNCHER_SIGNED_EXE STREQUAL "")
  if(NOT EXISTS "${LAUNCHER_SIGNED_EXE}" OR IS_DIRECTORY "${LAUNCHER_SIGNED_EXE}")
    message(FATAL_ERROR "LAUNCHER_SIGNED_EXE \"${LAUNCHER_SIGNED_EXE}\" is refused: the file does not exist.")
  endif()
  install(CODE "include([==[${CMAKE_CURRENT_LIST_DIR}/SignedExe.cmake]==])
check_signed_exe([==[${LAUNCHER_SIGNED_EXE}]==] [==[$<TARGET_FILE:launcher>]==])")
  install(PROGRAMS "${LAUNCHER_SIGNED_EXE}" DESTINATION . RENAME "${APP_NAME}.exe")
else()
  install(PROGRAMS $<TARGET_FILE:launcher> DESTINATION . RENAME "${APP_NAME}.exe")
endif()

# The browsers the README lists are the launcher's own candidates, read from launcher/constants.h.
set(_browser_names "msedge.exe=Microsoft Edge" "chrome.exe=Google Chrome")
file(READ ${PROJECT_SOURCE_DIR}/launcher/constants.h _constants)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/launcher/constants.h)
string(REGEX MATCH "BROWSER_CANDIDATES[^{]*{[^}]*}" _candidates "${_constants}")
# Each candidate is a raw string literal, R"(...)"; a path holds no double quote.
string(REGEX MATCHALL "R\"\\([^\"]*\\)\"" _candidates "${_candidates}")
set(BROWSER_LIST "")
set(_number 0)
foreach(literal IN LISTS _candidates)
  string(REGEX REPLACE "^R\"\\((.*)\\)\"$" "\\1" path "${literal}")
  string(REGEX REPLACE "^.*\\\\" "" program "${path}")
  set(browser "")
  foreach(entry IN LISTS _browser_names)
    string(FIND "${entry}" "=" equals)
    string(SUBSTRING "${entry}" 0 ${equals} known)
    if(program STREQUAL known)
      math(EXPR equals "${equals} + 1")
      string(SUBSTRING "${entry}" ${equals} -1 browser)
    endif()
  endforeach()
  if(browser STREQUAL "")
    message(FATAL_ERROR "cmake/Package.cmake: launcher/constants.h names a browser program \"${program}\" that has no name for README.txt in _browser_names.")
  endif()
  math(EXPR _number "${_number} + 1")
  # configure_file turns the template's line ends into CRLF, not those inside a value.
  string(APPEND BROWSER_LIST "  ${_number}. ${browser}, ${path}\r\n")
endforeach()
if(_number EQUAL 0)
  message(FATAL_ERROR "cmake/Package.cmake: found no browser candidate in launcher/constants.h.")
endif()
string(REGEX REPLACE "\r\n$" "" BROWSER_LIST "${BROWSER_LIST}")
# CRLF, for Notepad before Windows 10 1809. A text that is not all ASCII starts with the UTF-8
# byte order mark: Notepad before Windows 10 1903 reads UTF-8 without it as the ANSI code page.
set(_readme_template ${PROJECT_SOURCE_DIR}/resources/README.txt.in)
file(READ ${_readme_template} _readme)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_readme_template})
if("${APP_NAME}${APP_PUBLISHER}" MATCHES "[^ -~]")
  string(ASCII 239 187 191 _bom)
  set(_readme "${_bom}${_readme}")
endif()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/package/README.txt CONTENT "${_readme}"
     @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/package/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME "${APP_NAME}")
set(CPACK_PACKAGE_VENDOR "${APP_PUBLISHER}")
set(CPACK_PACKAGE_VERSION "${APP_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "${APP_NAME}-${APP_VERSION}-win64")
# The two files sit at the top of the ZIP; Explorer's "Extract All" makes the folder.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_package_time 315532800)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(_package_time "$ENV{SOURCE_DATE_EPOCH}")
else()
  find_program(GIT_EXECUTABLE git)
  if(GIT_EXECUTABLE)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                    OUTPUT_VARIABLE _commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE _git_result ERROR_QUIET)
    if(_git_result EQUAL 0 AND _commit_time MATCHES "^[0-9]+$")
      set(_package_time ${_commit_time})
    endif()
  endif()
endif()
if(NOT _package_time MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH \"${_package_time}\" is refused: it must be a number of seconds since 1970.")
endif()
set(CPACK_LAUNCHER_PYTHON ${Python3_EXECUTABLE})
set(CPACK_LAUNCHER_NORMALIZE_ZIP ${CMAKE_CURRENT_LIST_DIR}/normalize_zip.py)
set(CPACK_LAUNCHER_PACKAGE_TIME ${_package_time})
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageNormalize.cmake)
include(CPack)
