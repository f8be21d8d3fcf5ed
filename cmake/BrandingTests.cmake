# The configure refuses each bad branding value and names the variable and the problem, and lets
# the unusual good ones through. Each case configures the project in a scratch directory with the
# value given in an initial-cache script (-C; --fresh, so that no value cached by an earlier run
# takes its place), so quotes, backslashes, semicolons and raw bytes
# reach the check exactly as written; a refused value stops before any compiler is looked for.
set(_branding_case 0)

function(_branding_case_test variable value verdict out_name)
  math(EXPR number "${_branding_case} + 1")
  set(_branding_case ${number} PARENT_SCOPE)
  string(TOLOWER "${variable}_${verdict}_${number}" name)
  set(dir ${CMAKE_BINARY_DIR}/branding-cases/${number})
  file(WRITE ${dir}.cmake "set(${variable} [==[${value}]==] CACHE STRING \"\")\n")
  add_test(NAME ${name}
           COMMAND ${CMAKE_COMMAND} --fresh -S ${PROJECT_SOURCE_DIR} -B ${dir} -C ${dir}.cmake
                   -DLAUNCHER_TESTS=OFF)
  set(${out_name} ${name} PARENT_SCOPE)
endfunction()

function(branding_refused variable value expected)
  _branding_case_test(${variable} "${value}" refused name)
  set(_branding_case ${_branding_case} PARENT_SCOPE)
  string(REGEX REPLACE "([][.*+?^$(){}|\\])" "\\\\\\1" expected "${expected}")
  # CMake wraps long messages at blanks.
  string(REPLACE " " "[ \n]+" expected "${expected}")
  set_tests_properties(${name} PROPERTIES
    PASS_REGULAR_EXPRESSION "${variable}[ \n].*[ \n]is[ \n]+refused:[ \n]+.*${expected}")
endfunction()

function(branding_accepted variable value)
  _branding_case_test(${variable} "${value}" accepted name)
  set(_branding_case ${_branding_case} PARENT_SCOPE)
  set_tests_properties(${name} PROPERTIES FAIL_REGULAR_EXPRESSION "is[ \n]+refused")
endfunction()

string(ASCII 255 _byte_ff)
string(ASCII 128 _byte_80)
string(ASCII 230 151 _cut_short)          # the first two of the three bytes of U+65E5
string(ASCII 192 175 _c0_slash)           # "/" in two bytes: C0 never begins a character
string(ASCII 224 128 175 _overlong_slash) # "/" in three bytes
string(ASCII 237 160 128 _surrogate)      # U+D800
string(ASCII 244 144 128 128 _past_max)   # U+110000
string(ASCII 194 133 _next_line)          # U+0085, a C1 control
string(ASCII 127 _delete)
string(REPEAT "x" 65 _name_65)
string(REPEAT "é" 64 _name_64_accented)

branding_refused(APP_NAME "" "it is empty")
branding_refused(APP_NAME "Web \"App\"" "character '\"' at position 5")
branding_refused(APP_NAME "Web\\App" "character '\\'")
branding_refused(APP_NAME "Web;App" "character ';'")
branding_refused(APP_NAME "Web/App" "character '/'")
branding_refused(APP_NAME "Web:App" "character ':'")
branding_refused(APP_NAME "Web<App" "character '<'")
branding_refused(APP_NAME "Web>App" "character '>'")
branding_refused(APP_NAME "Web|App" "character '|'")
branding_refused(APP_NAME "Web?App" "character '?'")
branding_refused(APP_NAME "Web*App" "character '*'")
branding_refused(APP_NAME "Web\tApp" "control character 0x09 at position 4")
branding_refused(APP_NAME "Web\nApp" "control character 0x0a")
branding_refused(APP_NAME "Web${_delete}App" "control character 0x7f")
branding_refused(APP_NAME "Web${_next_line}App" "control character U+0085")
branding_refused(APP_NAME "Web${_byte_ff}App" "byte 0xff at position 4 does not begin a UTF-8 character")
branding_refused(APP_NAME "Web${_byte_80}App" "byte 0x80 at position 4 does not begin")
branding_refused(APP_NAME "Web${_cut_short}" "at position 4 is cut short")
branding_refused(APP_NAME "Web${_cut_short}App" "at position 4 is cut short")
branding_refused(APP_NAME "Web${_c0_slash}App" "byte 0xc0 at position 4 does not begin")
branding_refused(APP_NAME "Web${_overlong_slash}App" "at position 4 are not a UTF-8 character")
branding_refused(APP_NAME "Web${_surrogate}App" "at position 4 are not a UTF-8 character")
branding_refused(APP_NAME "Web${_past_max}App" "at position 4 are not a UTF-8 character")
branding_refused(APP_NAME "con" "CON is a device name")
branding_refused(APP_NAME "NUL " "NUL is a device name")
branding_refused(APP_NAME "Com1" "COM1 is a device name")
branding_refused(APP_NAME "LPT9." "LPT9 is a device name")
branding_refused(APP_NAME "Aux.Tools" "AUX is a device name")
branding_refused(APP_NAME "${_name_65}" "it has 65 characters, more than 64")
branding_accepted(APP_NAME "Café Wëb 日本 😀")
branding_accepted(APP_NAME "${_name_64_accented}")
branding_accepted(APP_NAME "Jack & Jill's (Portal) 100% #1, v2.0 [beta] {x} @ $HOME ~=+!^`")
branding_accepted(APP_NAME "Console")
branding_accepted(APP_NAME "COM10")
branding_accepted(APP_NAME "Tools.Aux")

branding_refused(APP_VERSION "" "four numbers separated by dots")
branding_refused(APP_VERSION "1.0.0" "four numbers separated by dots")
branding_refused(APP_VERSION "1.0.0.0.0" "four numbers separated by dots")
branding_refused(APP_VERSION "1.0.0.x" "four numbers separated by dots")
branding_refused(APP_VERSION "1.0.-1.0" "four numbers separated by dots")
branding_refused(APP_VERSION " 1.0.0.0" "four numbers separated by dots")
branding_refused(APP_VERSION "1..0.0" "four numbers separated by dots")
branding_refused(APP_VERSION "1.0.0.65536" "65536 is more than 65535")
branding_refused(APP_VERSION "99999999999999999999.0.0.0" "99999999999999999999 is more than 65535")
branding_refused(APP_VERSION "1.02.0.0" "02 has a leading zero")
branding_accepted(APP_VERSION "65535.65535.65535.65535")
branding_accepted(APP_VERSION "0.0.0.0")

branding_refused(APP_PUBLISHER "" "it is empty")
branding_refused(APP_PUBLISHER "Contoso \"Ltd\"" "character '\"'")
branding_refused(APP_PUBLISHER "Contoso\\Ltd" "character '\\'")
branding_refused(APP_PUBLISHER "Contoso;Ltd" "character ';'")
branding_refused(APP_PUBLISHER "Contoso\rLtd" "control character 0x0d")
branding_refused(APP_PUBLISHER "Contoso${_byte_ff}" "byte 0xff at position 8")
branding_accepted(APP_PUBLISHER "Contoso Ltd. / Müller & Söhne GmbH: <IT> | R&D?*")

set(_data ${PROJECT_SOURCE_DIR}/tests/release/data)
branding_refused(APP_ICON "" "it is empty")
branding_refused(APP_ICON "${CMAKE_BINARY_DIR}/no-such.ico" "the file does not exist")
branding_refused(APP_ICON "no-such.ico" "the file does not exist")
branding_refused(APP_ICON "${PROJECT_SOURCE_DIR}/resources" "it is a directory")
branding_refused(APP_ICON "${PROJECT_SOURCE_DIR}/CMakeLists.txt" "bytes 00 00 01 00")
branding_refused(APP_ICON "${_data}/cursor.cur" "bytes 00 00 01 00")
branding_refused(APP_ICON "${_data}/empty.ico" "holds no image")
branding_refused(APP_ICON "${_data}/truncated.ico" "lists 4 images but the file has 6 bytes")
branding_accepted(APP_ICON "${PROJECT_SOURCE_DIR}/resources/launcher.ico")
branding_accepted(APP_ICON "resources/launcher.ico")

# The committed default icon is the one its script makes.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME default_icon_matches_its_script
         COMMAND ${CMAKE_COMMAND}
                 -DPYTHON=${Python3_EXECUTABLE}
                 -DSCRIPT=${PROJECT_SOURCE_DIR}/resources/make_icon.py
                 -DICON=${PROJECT_SOURCE_DIR}/resources/launcher.ico
                 -DOUTPUT=${CMAKE_BINARY_DIR}/default-icon/launcher.ico
                 -P ${PROJECT_SOURCE_DIR}/tests/release/default_icon_test.cmake)
