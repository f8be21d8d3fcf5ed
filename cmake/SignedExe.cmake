# check_signed_exe(<signed> <built>) stops the install (and so cpack) unless <signed> is <built>
# with an Authenticode signature added and nothing else changed.
#
# Signing a PE file (osslsigncode, signtool) appends the signature as the certificate table at
# the end of the file, points the security entry of the optional header's data directory at it,
# and rewrites the optional header's checksum. Every other byte stays as it was. So a signed copy
# of this build's launcher.exe equals it everywhere but those 4 + 8 bytes, and is longer; a copy
# signed from an older build or from other cache values differs somewhere else.

function(_signed_exe_fail signed why)
  message(FATAL_ERROR "LAUNCHER_SIGNED_EXE \"${signed}\" is refused: ${why}")
endfunction()

# The little-endian number of <bytes> bytes at byte <offset> of the hex text <hex>.
function(_hex_number hex offset bytes out)
  set(value "")
  math(EXPR last "${bytes} - 1")
  foreach(i RANGE ${last})
    math(EXPR at "(${offset} + ${i}) * 2")
    string(SUBSTRING "${hex}" ${at} 2 byte)
    set(value "${byte}${value}")
  endforeach()
  math(EXPR value "0x${value}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

function(check_signed_exe signed built)
  if(NOT EXISTS "${signed}")
    _signed_exe_fail("${signed}" "the file does not exist.")
  endif()
  file(READ "${built}" built_hex HEX)
  file(READ "${signed}" signed_hex HEX)
  string(LENGTH "${built_hex}" built_length)
  string(LENGTH "${signed_hex}" signed_length)

  # e_lfanew at 0x3C locates the "PE\0\0" signature; the optional header follows the 20-byte COFF
  # header. In a PE32+ optional header the checksum is at 64, the security entry at 144.
  _hex_number("${built_hex}" 60 4 pe)
  math(EXPR magic_at "${pe} + 24")
  _hex_number("${built_hex}" ${magic_at} 2 magic)
  if(NOT magic EQUAL 523)  # 0x20B
    _signed_exe_fail("${signed}" "the built launcher \"${built}\" is not a 64-bit (PE32+) program.")
  endif()
  math(EXPR checksum "(${pe} + 24 + 64) * 2")
  math(EXPR security "(${pe} + 24 + 144) * 2")
  math(EXPR after_checksum "${checksum} + 8")
  math(EXPR after_security "${security} + 16")
  math(EXPR between "${security} - ${after_checksum}")
  math(EXPR rest "${built_length} - ${after_security}")
  string(SUBSTRING "${built_hex}" ${security} 16 built_security)
  if(NOT built_security STREQUAL "0000000000000000")
    _signed_exe_fail("${signed}" "the built launcher \"${built}\" is signed already; package it as built.")
  endif()
  if(NOT signed_length GREATER built_length)
    _signed_exe_fail("${signed}" "it is no longer than the built launcher \"${built}\": it holds no signature.")
  endif()
  foreach(part IN ITEMS "0 ${checksum}" "${after_checksum} ${between}" "${after_security} ${rest}")
    separate_arguments(part)
    list(GET part 0 start)
    list(GET part 1 length)
    string(SUBSTRING "${built_hex}" ${start} ${length} built_part)
    string(SUBSTRING "${signed_hex}" ${start} ${length} signed_part)
    if(NOT built_part STREQUAL signed_part)
      _signed_exe_fail("${signed}" "it is not a signed copy of this build's launcher \"${built}\": they differ beyond the signature and the checksum. Sign the launcher.exe of this build and configure again.")
    endif()
  endforeach()
  math(EXPR security_entry "${pe} + 24 + 144")
  _hex_number("${signed_hex}" ${security_entry} 4 table)
  math(EXPR built_bytes "${built_length} / 2")
  if(table LESS built_bytes)
    _signed_exe_fail("${signed}" "its certificate table does not start after the program's image.")
  endif()
endfunction()
