# Warnings and linking shared by every target of ours.
#
# The warnings live in the INTERFACE target kestrup_warnings, which the top-level
# CMakeLists.txt links into every target it defines after the third-party ones;
# third-party code (GoogleTest, TinyXML) is compiled with its own flags. The test
# command turns warnings into errors with CMake's CMAKE_COMPILE_WARNING_AS_ERROR.

add_library(kestrup_warnings INTERFACE)
target_compile_options(kestrup_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow)

if(WIN32)
  # Self-contained programs: no MinGW runtime DLLs beside them.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()
