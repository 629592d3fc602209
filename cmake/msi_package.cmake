# CPack runs this after it has packed the zip: builds the Windows Installer
# package Kestrup-<version>-win64.msi from cmake/kestrup.wxs and the same staged
# files, signs it when a certificate is given, and writes its SHA-256 checksum
# file beside it, after signing, in the form of the zip's.
#
# From CPackConfig.cmake: CPACK_KESTRUP_MSI_VERSION (the product's version),
# CPACK_KESTRUP_PROGRAM_VERSION (the programs' version resource),
# CPACK_KESTRUP_WXS, CPACK_KESTRUP_UPGRADE_CODE.
include("${CMAKE_CURRENT_LIST_DIR}/signing.cmake")

find_program(KESTRUP_WIXL wixl)
find_program(KESTRUP_MSIBUILD msibuild)
if(NOT KESTRUP_WIXL OR NOT KESTRUP_MSIBUILD)
  message(FATAL_ERROR "The .msi needs wixl and msibuild (Debian's wixl and msitools): run scripts/setup")
endif()

set(version "${CPACK_KESTRUP_MSI_VERSION}")
set(msi "${CPACK_PACKAGE_DIRECTORY}/Kestrup-${version}-win64.msi")
file(REMOVE "${msi}" "${msi}.sha256")

# wixl takes the files' sources relative to where it runs.
execute_process(
  COMMAND "${KESTRUP_WIXL}" --arch x64 -D "Version=${version}"
          -D "UpgradeCode=${CPACK_KESTRUP_UPGRADE_CODE}" -o "${msi}" "${CPACK_KESTRUP_WXS}"
  WORKING_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wixl could not build ${msi}:\n${output}")
endif()

# What wixl cannot say:
# - The upgrade row must also find an installed package of this same version:
#   Windows Installer ignores a version's fourth number, so without it a build
#   that differs only there would install beside the older one instead of
#   replacing it. Attributes 513: migrate features, maximum inclusive.
# - The programs are versioned files: without a version in the File table,
#   Windows Installer would keep an older Kestrup.exe found in the directory
#   (a copy from the zip) as if it were a file the user had changed.
set(queries
  "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'"
  "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('{${CPACK_KESTRUP_UPGRADE_CODE}}', '${version}', 513, 'WIX_UPGRADE_DETECTED')")
foreach(file Kestrup.exe kestrup_check.exe)
  list(APPEND queries
    "UPDATE `File` SET `Version` = '${CPACK_KESTRUP_PROGRAM_VERSION}' WHERE `File` = '${file}'"
    "DELETE FROM `MsiFileHash` WHERE `File_` = '${file}'")
endforeach()
set(query_options)
foreach(query IN LISTS queries)
  list(APPEND query_options -q "${query}")
endforeach()
execute_process(COMMAND "${KESTRUP_MSIBUILD}" "${msi}" ${query_options}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${msi}")
  message(FATAL_ERROR "msibuild could not complete ${msi}:\n${output}")
endif()

if(KESTRUP_SIGNING)
  # The extended signature also covers the package's stream metadata.
  kestrup_sign_file("${msi}" -add-msi-dse)
  message(STATUS "Signed Kestrup.exe, kestrup-check.exe and the .msi with $ENV{KESTRUP_SIGN_PKCS12}")
else()
  message(STATUS "Not signed: KESTRUP_SIGN_PKCS12 names no code-signing certificate")
endif()

file(SHA256 "${msi}" hash)
get_filename_component(name "${msi}" NAME)
file(WRITE "${msi}.sha256" "${hash}  ${name}\n")
message(STATUS "Windows Installer package: ${msi}")
