# Windows test programs run under Wine, in a scratch prefix made under the build tree for each
# ctest run and stopped at its end. Only this prefix's wineserver is ever stopped.
set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(WINE_ENVIRONMENT
  "WINEPREFIX=${WINE_PREFIX}"
  "WINEDEBUG=-all"
  "WINEDLLOVERRIDES=mscoree,mshtml=")

add_test(NAME wine_prefix_setup
         COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/prefix.sh setup ${WINE_PREFIX})
set_tests_properties(wine_prefix_setup PROPERTIES FIXTURES_SETUP wine)
add_test(NAME wine_prefix_cleanup
         COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/prefix.sh cleanup ${WINE_PREFIX})
set_tests_properties(wine_prefix_cleanup PROPERTIES FIXTURES_CLEANUP wine)

function(wine_test_environment name)
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED wine
    ENVIRONMENT "${WINE_ENVIRONMENT}")
endfunction()
