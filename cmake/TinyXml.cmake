# TinyXML 2.6.2 in its standard-string mode, as the target `tinyxml`.
#
# Natively it is Debian's libtinyxml-dev, its static archive. For Windows it is the same release
# compiled from Debian's tinyxml source package with Debian's patches (its
# security fixes among them). scripts/setup fetches and unpacks that package
# (apt-get source, which applies the patches) into third_party/tinyxml, so that
# configuring needs no network. KESTRUP_TINYXML_DEBIAN_VERSION records the
# Debian revision used; the release notices name it and its patches.

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

# Only the 2.6.2 release will do; the directory name carries the upstream version.
set(KESTRUP_TINYXML_SOURCE_DIR "${CMAKE_SOURCE_DIR}/third_party/tinyxml/tinyxml-2.6.2"
  CACHE PATH "TinyXML 2.6.2 unpacked from Debian's source package (scripts/setup puts it here)")
set(_tinyxml_src "${KESTRUP_TINYXML_SOURCE_DIR}")
if(NOT EXISTS "${_tinyxml_src}/tinyxml.cpp" OR NOT EXISTS "${_tinyxml_src}/debian/changelog")
  message(FATAL_ERROR "No TinyXML source in ${_tinyxml_src}: run scripts/setup first")
endif()

# The first changelog line names the revision: "tinyxml (2.6.2-6+deb12u1) bookworm; ...".
file(STRINGS "${_tinyxml_src}/debian/changelog" _changelog_head LIMIT_COUNT 1)
if(NOT _changelog_head MATCHES "^tinyxml \\((2\\.6\\.2-[^)]+)\\)")
  message(FATAL_ERROR "${_tinyxml_src} is not Debian's tinyxml 2.6.2 source: ${_changelog_head}")
endif()
set(KESTRUP_TINYXML_DEBIAN_VERSION "${CMAKE_MATCH_1}" CACHE INTERNAL "Debian revision of the TinyXML source")
message(STATUS "TinyXML from Debian's source package tinyxml ${KESTRUP_TINYXML_DEBIAN_VERSION}")

# Configure again when setup unpacks another revision, so that the record follows it.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_tinyxml_src}/debian/changelog")

add_library(tinyxml STATIC
  "${_tinyxml_src}/tinyxml.cpp"
  "${_tinyxml_src}/tinystr.cpp"
  "${_tinyxml_src}/tinyxmlerror.cpp"
  "${_tinyxml_src}/tinyxmlparser.cpp")
target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
target_include_directories(tinyxml SYSTEM PUBLIC "${_tinyxml_src}")
# Third-party code: its own warnings are not ours to fix.
target_compile_options(tinyxml PRIVATE -w)
