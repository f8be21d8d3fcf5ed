# launcher.exe's resources, compiled with windres: the icon (APP_ICON), the version information
# (APP_NAME, APP_VERSION, APP_PUBLISHER) and the application manifest.
#
# launcher_resources(<target>) adds them to <target>. The script, the icon and the manifest are
# placed side by side in <build>/resources and the script names them relative to it, so no path
# of the build machine is written into the script, and none can break its quoting.

enable_language(RC)

function(launcher_resources target)
  set(dir ${CMAKE_BINARY_DIR}/resources)
  string(REPLACE "." "," APP_VERSION_COMMAS "${APP_VERSION}")
  configure_file(${PROJECT_SOURCE_DIR}/resources/launcher.rc.in ${dir}/launcher.rc @ONLY)
  configure_file("${APP_ICON_FILE}" ${dir}/app.ico COPYONLY)
  configure_file(${PROJECT_SOURCE_DIR}/resources/launcher.manifest ${dir}/launcher.manifest COPYONLY)
  set_source_files_properties(${dir}/launcher.rc PROPERTIES
    INCLUDE_DIRECTORIES ${dir}
    OBJECT_DEPENDS "${dir}/app.ico;${dir}/launcher.manifest")
  target_sources(${target} PRIVATE ${dir}/launcher.rc)
endfunction()
