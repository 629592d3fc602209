# Warnings and linking shared by every target of ours.
#
# The warnings live in the INTERFACE target kestrup_warnings, which the top-level
# CMakeLists.txt links into every target defined in our own folders; third-party
# code (GoogleTest, TinyXML) is compiled with its own flags.

# The test command builds with this on, so that no warning lands unseen.
option(KESTRUP_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)

add_library(kestrup_warnings INTERFACE)
target_compile_options(kestrup_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow
  $<$<BOOL:${KESTRUP_WARNINGS_AS_ERRORS}>:-Werror>)

if(WIN32)
  # One self-contained console program: no MinGW runtime DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# kestrup_link_warnings(<directory>...): links kestrup_warnings into every
# library and program defined in these source folders and the folders below them.
function(kestrup_link_warnings)
  foreach(dir IN LISTS ARGN)
    get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY|MODULE_LIBRARY)$")
        target_link_libraries(${target} PRIVATE kestrup_warnings)
      endif()
    endforeach()
    get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
    if(subdirs)
      kestrup_link_warnings(${subdirs})
    endif()
  endforeach()
endfunction()
