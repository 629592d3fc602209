# TinyXML 2.6.2 in its standard-string mode, as the target `tinyxml`.
#
# Natively it is Debian's libtinyxml-dev, its static archive. For Windows it is the same release
# compiled from Debian's tinyxml source package, with Debian's patches (its
# security fixes among them), which apt-get source unpacks into the build tree.
# The setup script adds the deb-src entry that apt-get source needs.

if(NOT CMAKE_CROSSCOMPILING)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TINYXML REQUIRED tinyxml=2.6.2)
  # Debian's static archive of the same release: linked in, it spares every
  # run the dynamic loading and relocation of libtinyxml.so.
  find_library(TINYXML_STATIC_LIBRARY NAMES libtinyxml.a HINTS ${TINYXML_LIBRARY_DIRS} REQUIRED)
  add_library(tinyxml INTERFACE)
  target_include_directories(tinyxml SYSTEM INTERFACE ${TINYXML_INCLUDE_DIRS})
  target_link_libraries(tinyxml INTERFACE "${TINYXML_STATIC_LIBRARY}")
  target_compile_definitions(tinyxml INTERFACE TIXML_USE_STL)
  return()
endif()

set(_tinyxml_root "${CMAKE_BINARY_DIR}/_deps/tinyxml")
set(_tinyxml_src "${_tinyxml_root}/source")
if(NOT EXISTS "${_tinyxml_src}/tinyxml.cpp")
  file(REMOVE_RECURSE "${_tinyxml_root}")
  file(MAKE_DIRECTORY "${_tinyxml_root}")
  message(STATUS "Fetching Debian's tinyxml source package into ${_tinyxml_root}")
  execute_process(
    COMMAND apt-get source --only-source tinyxml
    WORKING_DIRECTORY "${_tinyxml_root}"
    RESULT_VARIABLE _fetch_result
    OUTPUT_VARIABLE _fetch_output
    ERROR_VARIABLE _fetch_output)
  # Only the 2.6.2 release will do; the directory name carries the upstream version.
  file(GLOB _unpacked LIST_DIRECTORIES true "${_tinyxml_root}/tinyxml-2.6.2")
  if(NOT _fetch_result EQUAL 0 OR NOT _unpacked)
    message(FATAL_ERROR "apt-get source tinyxml failed (run scripts/setup first):\n${_fetch_output}")
  endif()
  list(GET _unpacked 0 _unpacked_dir)
  file(RENAME "${_unpacked_dir}" "${_tinyxml_src}")
endif()

add_library(tinyxml STATIC
  "${_tinyxml_src}/tinyxml.cpp"
  "${_tinyxml_src}/tinystr.cpp"
  "${_tinyxml_src}/tinyxmlerror.cpp"
  "${_tinyxml_src}/tinyxmlparser.cpp")
target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
target_include_directories(tinyxml SYSTEM PUBLIC "${_tinyxml_src}")
# Third-party code: its own warnings are not ours to fix.
target_compile_options(tinyxml PRIVATE -w)
