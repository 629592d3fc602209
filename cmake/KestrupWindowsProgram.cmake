# kestrup_windows_program(<target> <file name> <description>)
#
# Makes a program of ours fit to ship on Windows:
# - the version resource (cmake/version.rc.in) with the project's version, this
#   file name and description;
# - the application manifest cmake/kestrup.manifest, embedded as a resource;
# - stripped after linking, its debug information kept beside it as
#   <file name>.debug, which the program names in a .gnu_debuglink section so
#   that a debugger reading a crash finds it.
function(kestrup_windows_program target file_name description)
  set(KESTRUP_RC_FILE_NAME "${file_name}")
  set(KESTRUP_RC_DESCRIPTION "${description}")
  get_filename_component(KESTRUP_RC_INTERNAL_NAME "${file_name}" NAME_WE)
  set(KESTRUP_MANIFEST "${PROJECT_SOURCE_DIR}/cmake/kestrup.manifest")
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/version.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
  set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${KESTRUP_MANIFEST}")

  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${CMAKE_OBJCOPY}" --only-keep-debug "${file_name}" "${file_name}.debug"
    COMMAND "${CMAKE_STRIP}" --strip-all "${file_name}"
    COMMAND "${CMAKE_OBJCOPY}" "--add-gnu-debuglink=${file_name}.debug" "${file_name}"
    WORKING_DIRECTORY "$<TARGET_FILE_DIR:${target}>"
    COMMENT "Stripping ${file_name}, debug information in ${file_name}.debug"
    VERBATIM)
endfunction()
