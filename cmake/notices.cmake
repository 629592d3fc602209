# cmake -P notices.cmake: writes the third-party notices of the Windows programs.
#
#   -DOUTPUT=<file>            the notices file to write
#   -DVERSION=<version>        Kestrup's version
#   -DCXX=<compiler>           the cross compiler that linked the programs
#   -DTINYXML_SOURCE_DIR=<dir> TinyXML's unpacked Debian source
#   -DRUNTIME_FILES=<a;b;...>  the runtime files the compiler links in statically
#
# The programs hold TinyXML and the toolchain's runtime besides our code. For
# each, the notices name the Debian package it came from, its version, and give
# that package's copyright file word for word. The compiler says where each
# runtime file lies and dpkg which package installed it, so the notices follow
# the toolchain that actually linked the programs.

cmake_minimum_required(VERSION 3.25)

function(run_and_read out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE result
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "notices: `${ARGN}` failed")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(rule "================================================================================")

# TinyXML: the revision and patches of the unpacked source, and its debian/copyright.
file(STRINGS "${TINYXML_SOURCE_DIR}/debian/changelog" changelog_head LIMIT_COUNT 1)
string(REGEX REPLACE "^tinyxml \\(([^)]+)\\).*" "\\1" tinyxml_version "${changelog_head}")
file(STRINGS "${TINYXML_SOURCE_DIR}/debian/patches/series" patches REGEX "^[^#]")
list(JOIN patches "\n    " patch_lines)
set(summary "1. TinyXML 2.6.2, built from Debian's source package tinyxml ${tinyxml_version}\n")
string(APPEND summary "   with Debian's patches applied:\n    ${patch_lines}\n")
file(READ "${TINYXML_SOURCE_DIR}/debian/copyright" tinyxml_copyright)
set(texts "${rule}\n1. TinyXML: debian/copyright of the source package tinyxml ${tinyxml_version}\n${rule}\n\n${tinyxml_copyright}")

# The runtime: group the files by the copyright file that covers them.
set(copyright_files)
foreach(runtime_file IN LISTS RUNTIME_FILES)
  run_and_read(path "${CXX}" "-print-file-name=${runtime_file}")
  file(REAL_PATH "${path}" path)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "notices: the compiler links no ${runtime_file}")
  endif()
  run_and_read(owner dpkg-query -S "${path}")
  string(REGEX REPLACE ":.*" "" package "${owner}")
  run_and_read(package_line dpkg-query -W "-f=\${Package} \${Version} (source package \${source:Package})" "${package}")
  file(REAL_PATH "/usr/share/doc/${package}/copyright" copyright)
  if(NOT copyright IN_LIST copyright_files)
    list(APPEND copyright_files "${copyright}")
    string(MAKE_C_IDENTIFIER "${copyright}" key)
    set(packages_${key})
    set(files_${key})
  endif()
  string(MAKE_C_IDENTIFIER "${copyright}" key)
  if(NOT package_line IN_LIST packages_${key})
    list(APPEND packages_${key} "${package_line}")
  endif()
  list(APPEND files_${key} "${runtime_file}")
endforeach()

set(part 1)
foreach(copyright IN LISTS copyright_files)
  math(EXPR part "${part} + 1")
  string(MAKE_C_IDENTIFIER "${copyright}" key)
  list(JOIN packages_${key} "\n    " package_lines)
  list(JOIN files_${key} " " file_names)
  string(APPEND summary "\n${part}. ${file_names}\n   from the Debian packages\n    ${package_lines}\n")
  file(READ "${copyright}" text)
  string(APPEND texts "\n\n${rule}\n${part}. ${file_names}: ${copyright}\n${rule}\n\n${text}")
endforeach()

file(WRITE "${OUTPUT}" "Third-party notices for Kestrup ${VERSION} for Windows (x86-64)

Kestrup.exe, KestrupLink.exe and kestrup-check.exe are linked statically:
besides Kestrup's own code they hold the code below. Each part names the Debian packages it was built
from, with their versions; the copyright file of each follows, word for word as
Debian ships it, with the licence of every piece.

${summary}
${texts}")
