# kestrup_package_version(<out> <release version>)
# The Windows Installer package's ProductVersion for the release a.b.c.d: a.b.d.
# Windows Installer compares only a version's first three fields, and only
# within major <= 255, minor <= 255 and build <= 65535. The fourth number grows
# with every release, so in the third place it lets Windows Installer's own
# rules replace an older package and refuse a downgrade.
function(kestrup_package_version out release)
  if(NOT release MATCHES "^([0-9]+)\\.([0-9]+)\\.[0-9]+\\.([0-9]+)$")
    message(FATAL_ERROR "The release version ${release} is not four numbers")
  endif()
  math(EXPR major "${CMAKE_MATCH_1}")
  math(EXPR minor "${CMAKE_MATCH_2}")
  math(EXPR build "${CMAKE_MATCH_3}")
  if(major GREATER 255 OR minor GREATER 255 OR build GREATER 65535)
    message(FATAL_ERROR "The release version ${release} gives the package version "
      "${major}.${minor}.${build}, past Windows Installer's limits 255.255.65535")
  endif()
  set(${out} "${major}.${minor}.${build}" PARENT_SCOPE)
endfunction()
