# cmake -DPYTHON=... -DSCRIPT=make_icon.py -DICON=committed.ico -DOUTPUT=scratch.ico -P this
# Fails when the committed icon is not what the script writes now: the script was changed and the
# icon not written again, or the other way round.
get_filename_component(dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${dir}")
execute_process(COMMAND "${PYTHON}" "${SCRIPT}" "${OUTPUT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_icon.py failed: ${result}")
endif()
file(SHA256 "${OUTPUT}" made)
file(SHA256 "${ICON}" committed)
if(NOT made STREQUAL committed)
  message(FATAL_ERROR "${ICON} is not what ${SCRIPT} writes; run: python3 ${SCRIPT} ${ICON}")
endif()
