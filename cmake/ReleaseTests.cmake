# Release tests of the Windows build: what the deployer ships. None of them needs Wine.
#
# - release_resources: this build's launcher.exe carries this build's cache values, icon and
#   manifest.
# - release_builds (fixture): two clean builds and packages in two scratch directories under
#   release-builds/, with values other than the defaults (a name with a blank and non-ASCII
#   letters, version 2.3.4.5, an icon of their own), so that the values are seen to flow through.
# - release_resources_configured, release_reproducible, release_package, release_signed_package:
#   read those builds.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_release_tests ${PROJECT_SOURCE_DIR}/tests/release)
set(_release_work ${CMAKE_BINARY_DIR}/release-builds)
set(_release_first ${_release_work}/first)
set(_release_second ${_release_work}/second-copy-at-another-path)

add_test(NAME release_resources
         COMMAND ${Python3_EXECUTABLE} ${_release_tests}/resources_test.py $<TARGET_FILE:launcher>
                 --name ${APP_NAME} --version ${APP_VERSION} --publisher ${APP_PUBLISHER}
                 --icon ${APP_ICON_FILE})

set(_release_name "Contoso Café Portal")
set(_release_version 2.3.4.5)
set(_release_publisher "Contoso Ltd. & Söhne")
set(_release_url "https://portal.example.org/start?from=launcher")
add_test(NAME release_builds
         COMMAND ${Python3_EXECUTABLE} ${_release_tests}/release_builds.py
                 ${PROJECT_SOURCE_DIR} ${_release_work}
                 --cmake ${CMAKE_COMMAND} --cpack ${CMAKE_CPACK_COMMAND}
                 --toolchain ${CMAKE_TOOLCHAIN_FILE} --generator ${CMAKE_GENERATOR}
                 --build-type ${CMAKE_BUILD_TYPE}
                 --icon-script ${PROJECT_SOURCE_DIR}/resources/make_icon.py
                 "--set=APP_NAME=${_release_name}" "--set=APP_VERSION=${_release_version}"
                 "--set=APP_PUBLISHER=${_release_publisher}" "--set=APP_URL=${_release_url}"
                 "--set=APP_ICON=${_release_work}/test.ico")
set_tests_properties(release_builds PROPERTIES FIXTURES_SETUP release_builds TIMEOUT 900)

add_test(NAME release_resources_configured
         COMMAND ${Python3_EXECUTABLE} ${_release_tests}/resources_test.py
                 ${_release_first}/launcher.exe
                 --name ${_release_name} --version ${_release_version}
                 --publisher ${_release_publisher} --icon ${_release_work}/test.ico)

add_test(NAME release_reproducible
         COMMAND ${Python3_EXECUTABLE} ${_release_tests}/reproducible_test.py
                 ${_release_first} ${_release_second}
                 --forbid ${PROJECT_SOURCE_DIR} --forbid ${CMAKE_BINARY_DIR}
                 --forbid ${_release_first} --forbid ${_release_second})

add_test(NAME release_package
         COMMAND ${Python3_EXECUTABLE} ${_release_tests}/package_test.py ${_release_first}
                 --name ${_release_name} --version ${_release_version} --url ${_release_url}
                 --constants ${PROJECT_SOURCE_DIR}/launcher/constants.h)

set(_release_readers release_resources_configured release_reproducible release_package)

# Signing needs osslsigncode and openssl; the test changes the second build's configuration, so
# it runs after the tests that read that build.
find_program(OSSLSIGNCODE_EXECUTABLE osslsigncode)
find_program(OPENSSL_EXECUTABLE openssl)
if(OSSLSIGNCODE_EXECUTABLE AND OPENSSL_EXECUTABLE)
  add_test(NAME release_signed_package
           COMMAND ${Python3_EXECUTABLE} ${_release_tests}/signed_package_test.py
                   ${_release_second}
                   --cmake ${CMAKE_COMMAND} --cpack ${CMAKE_CPACK_COMMAND}
                   --osslsigncode ${OSSLSIGNCODE_EXECUTABLE} --openssl ${OPENSSL_EXECUTABLE}
                   --name ${_release_name} --version ${_release_version})
  set_tests_properties(release_signed_package PROPERTIES
    DEPENDS "${_release_readers}" TIMEOUT 600)
  list(APPEND _release_readers release_signed_package)
else()
  message(WARNING "osslsigncode or openssl not found: release_signed_package is not run "
                  "(Debian packages osslsigncode and openssl).")
endif()
set_tests_properties(${_release_readers} PROPERTIES FIXTURES_REQUIRED release_builds)
