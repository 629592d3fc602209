# CPack runs this after cmake/sign_programs.cmake, before it packs the zip:
# builds the Windows Installer package <CPACK_PACKAGE_FILE_NAME>.msi from
# cmake/kestrup.wxs and the same staged files, signs it when a certificate is
# given, and writes its SHA-256 checksum file, after signing, in the form of the
# zip's. Both lie beside the staged files until cmake/place_msi.cmake renames
# them into place, once the zip is packed: a step that fails leaves no package.
#
# From CPackConfig.cmake: CPACK_PACKAGE_VERSION (the release's four numbers),
# CPACK_KESTRUP_PROGRAM_VERSION (the programs' version resource),
# CPACK_KESTRUP_WXS, CPACK_KESTRUP_UPGRADE_CODE.
include("${CMAKE_CURRENT_LIST_DIR}/signing.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/KestrupPackageVersion.cmake")

find_program(KESTRUP_WIXL wixl)
find_program(KESTRUP_MSIBUILD msibuild)
if(NOT KESTRUP_WIXL OR NOT KESTRUP_MSIBUILD)
  message(FATAL_ERROR "The .msi needs wixl and msibuild (Debian's wixl and msitools): run scripts/setup")
endif()

kestrup_package_version(version "${CPACK_PACKAGE_VERSION}")
set(name "${CPACK_PACKAGE_FILE_NAME}.msi")
set(msi "${CPACK_TOPLEVEL_DIRECTORY}/${name}")
file(REMOVE "${msi}" "${msi}.sha256")

# wixl takes the files' sources relative to where it runs.
execute_process(
  COMMAND "${KESTRUP_WIXL}" --arch x64 -D "Version=${version}" -D "Release=${CPACK_PACKAGE_VERSION}"
          -D "FileName=${name}" -D "UpgradeCode=${CPACK_KESTRUP_UPGRADE_CODE}"
          -o "${msi}" "${CPACK_KESTRUP_WXS}"
  WORKING_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wixl could not build ${name}:\n${output}")
endif()

# What wixl cannot say:
# - The programs are versioned files: without a version in the File table,
#   Windows Installer would keep an older Kestrup.exe found in the directory
#   (a copy from the zip) as if it were a file the user had changed.
# - The kestrup: scheme is registered only when the administrator asks with
#   LINKS=1 (wixl refuses a Condition inside a Component).
# - ARPINSTALLLOCATION names the directory in Programs and Features, set once
#   CostFinalize has resolved INSTALLDIR.
# - INSTALLDIR and LINKS reach the elevated part of a per-machine install only
#   as secure properties.
# - A file name that is no 8.3 name is given as short|long.
set(queries
  "UPDATE `Component` SET `Condition` = 'LINKS = \"1\"' WHERE `Component` = 'Links'"
  "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('SetARPINSTALLLOCATION', 51, 'ARPINSTALLLOCATION', '[INSTALLDIR]')"
  "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('SetARPINSTALLLOCATION', 1001)")
foreach(names KESTRU~1.EXE|kestrup-check.exe KESTRU~1.MD|Kestrup-README.md
    KESTRU~1.TXT|Kestrup-THIRD-PARTY-NOTICES.txt KESTRU~1.XML|KestrupConfig.example.xml)
  string(REGEX REPLACE "^.*\\|" "" long "${names}")
  list(APPEND queries "UPDATE `File` SET `FileName` = '${names}' WHERE `FileName` = '${long}'")
endforeach()
foreach(file Kestrup.exe kestrup_check.exe)
  list(APPEND queries
    "UPDATE `File` SET `Version` = '${CPACK_KESTRUP_PROGRAM_VERSION}' WHERE `File` = '${file}'"
    "DELETE FROM `MsiFileHash` WHERE `File_` = '${file}'")
endforeach()
set(query_options)
foreach(query IN LISTS queries)
  list(APPEND query_options -q "${query}")
endforeach()
# Its value holds semicolons, which a CMake list would split.
execute_process(COMMAND "${KESTRUP_MSIBUILD}" "${msi}" ${query_options}
  -q "UPDATE `Property` SET `Value` = 'INSTALLDIR;LINKS;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' WHERE `Property` = 'SecureCustomProperties'"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${msi}")
  message(FATAL_ERROR "msibuild could not complete ${name}:\n${output}")
endif()

if(KESTRUP_SIGNING)
  # The extended signature also covers the package's stream metadata.
  kestrup_sign_file("${msi}" -add-msi-dse)
  message(STATUS "Signed Kestrup.exe, kestrup-check.exe and the .msi with $ENV{KESTRUP_SIGN_PKCS12}")
else()
  message(STATUS "Not signed: KESTRUP_SIGN_PKCS12 names no code-signing certificate")
endif()

file(SHA256 "${msi}" hash)
file(WRITE "${msi}.sha256" "${hash}  ${name}\n")
