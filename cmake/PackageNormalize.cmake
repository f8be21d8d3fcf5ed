# CPack post-build script (CPACK_POST_BUILD_SCRIPTS): makes each package just written reproducible
# with normalize_zip.py. CPack passes the packages in CPACK_PACKAGE_FILES and the CPACK_LAUNCHER_*
# values set in cmake/Package.cmake.
execute_process(
  COMMAND ${CPACK_LAUNCHER_PYTHON} ${CPACK_LAUNCHER_NORMALIZE_ZIP} ${CPACK_LAUNCHER_PACKAGE_TIME}
          ${CPACK_PACKAGE_FILES}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "normalize_zip.py failed (${result}) on ${CPACK_PACKAGE_FILES}")
endif()
