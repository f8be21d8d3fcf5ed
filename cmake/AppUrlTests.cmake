# The configure refuses each bad address and names the character: each case configures the
# project in a scratch directory (it stops before any compiler is looked for).
set(_bad_urls
  "http://example.com/|must begin with"
  "https://|host is empty"
  "https:///path|host is empty"
  "https://exa mple.com/|character 'blank'"
  "https://example.com/\"x|character '\"'"
  "https://example.com/\\x|character '\\'"
  "https://example.com/a&b|character '&'"
  "https://example.com/a|b|character '|'"
  "https://example.com/a<b|character '<'"
  "https://example.com/a>b|character '>'"
  "https://example.com/a^b|character '^'"
  "https://example.com/a%20b|character '%'"
  "https://example.com/a!b|character '!'"
  "https://example.com/(a)|character '('"
  "https://example.com/a)|character ')'"
  "https://exämple.com/|byte 0xc3 at position 11 is not ASCII"
  "https://example.com/a\tb|control character 0x09")
set(_case 0)
foreach(entry IN LISTS _bad_urls)
  string(FIND "${entry}" "|" bar REVERSE)
  string(SUBSTRING "${entry}" 0 ${bar} url)
  math(EXPR after "${bar} + 1")
  string(SUBSTRING "${entry}" ${after} -1 expected)
  string(REGEX REPLACE "([][.*+?^$(){}|\\])" "\\\\\\1" expected "${expected}")
  # CMake wraps long messages at blanks.
  string(REPLACE " " "[ \n]+" expected "${expected}")
  math(EXPR _case "${_case} + 1")
  set(dir ${CMAKE_BINARY_DIR}/app-url-cases/${_case})
  add_test(NAME app_url_refused_${_case}
           COMMAND ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${dir} -DAPP_URL=${url})
  set_tests_properties(app_url_refused_${_case} PROPERTIES
    WILL_FAIL FALSE
    PASS_REGULAR_EXPRESSION "APP_URL .* is refused: .*${expected}")
endforeach()
