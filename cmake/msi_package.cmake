# CPack runs this after cmake/sign_programs.cmake, before it packs the zip:
# builds the Windows Installer package <CPACK_PACKAGE_FILE_NAME>.msi from
# cmake/kestrup.wxs and the same staged files, signs it when a certificate is
# given, and writes its SHA-256 checksum file, after signing, in the form of the
# zip's. Both lie beside the staged files until cmake/place_msi.cmake renames
# them into place, once the zip is packed: a step that fails leaves no package.
#
# From CPackConfig.cmake: CPACK_PACKAGE_VERSION (the release's four numbers),
# CPACK_KESTRUP_PROGRAM_VERSION (the programs' version resource),
# CPACK_KESTRUP_RELEASE_FILES, CPACK_KESTRUP_WXS, CPACK_KESTRUP_UPGRADE_CODE.
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

# Each release file is a component of its own, its key path, named short|long.
# msibuild sets the programs' version, which wixl cannot: without it Windows
# Installer would keep an older Kestrup.exe found there as one the user changed.
foreach(file IN LISTS CPACK_KESTRUP_RELEASE_FILES)
  string(REGEX MATCH "^([^|]*)\\|([^|]*)\\|([^|]*)\\|" _ "${file}")
  string(REPLACE "-" "_" id "${CMAKE_MATCH_1}")
  list(APPEND components "        <Component Id=\"${id}\" Guid=\"${CMAKE_MATCH_3}\" Win64=\"yes\">
          <File Id=\"${id}\" Name=\"${CMAKE_MATCH_2}|${CMAKE_MATCH_1}\" Source=\"${CMAKE_MATCH_1}\" KeyPath=\"yes\"/>
        </Component>")
  list(APPEND references "      <ComponentRef Id=\"${id}\"/>")
  if(id MATCHES "\\.exe$")
    list(APPEND queries
      "UPDATE `File` SET `Version` = '${CPACK_KESTRUP_PROGRAM_VERSION}' WHERE `File` = '${id}'"
      "DELETE FROM `MsiFileHash` WHERE `File_` = '${id}'")
  endif()
endforeach()
list(JOIN components "\n" RELEASE_COMPONENTS)
list(JOIN references "\n" RELEASE_COMPONENT_REFS)
configure_file("${CPACK_KESTRUP_WXS}" "${CPACK_TOPLEVEL_DIRECTORY}/kestrup.wxs" @ONLY)

# wixl takes the files' sources relative to where it runs.
execute_process(
  COMMAND "${KESTRUP_WIXL}" --arch x64 -D "Version=${version}" -D "Release=${CPACK_PACKAGE_VERSION}"
          -D "FileName=${name}" -D "UpgradeCode=${CPACK_KESTRUP_UPGRADE_CODE}"
          -o "${msi}" "${CPACK_TOPLEVEL_DIRECTORY}/kestrup.wxs"
  WORKING_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wixl could not build ${name}:\n${output}")
endif()

# msibuild also sets:
# - The kestrup: scheme is registered only when the administrator asks with
#   LINKS=1 (wixl refuses a Condition inside a Component).
# - ARPINSTALLLOCATION names the directory in Programs and Features, set once
#   CostFinalize has resolved INSTALLDIR.
# - INSTALLDIR and LINKS reach the elevated part of a per-machine install only
#   as secure properties.
# - The upgrade row takes in its own version too (wixl's row, replaced as its
#   attributes are a key column, with 512: maximum inclusive), as WiX's
#   AllowSameVersionUpgrades does. A package rebuilt without a new build number
#   (signed after an unsigned build) gets a new product code, and would
#   otherwise install beside the first: two entries in Programs and Features
#   sharing the files. The downgrade row still takes in only newer versions.
list(APPEND queries
  "UPDATE `Component` SET `Condition` = 'LINKS = \"1\"' WHERE `Component` = 'Links'"
  "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('SetARPINSTALLLOCATION', 51, 'ARPINSTALLLOCATION', '[INSTALLDIR]')"
  "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('SetARPINSTALLLOCATION', 1001)"
  "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'"
  "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('{${CPACK_KESTRUP_UPGRADE_CODE}}', '${version}', 513, 'WIX_UPGRADE_DETECTED')")
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
  message(STATUS "Signed the programs and the .msi with $ENV{KESTRUP_SIGN_PKCS12}")
else()
  message(STATUS "Not signed: KESTRUP_SIGN_PKCS12 names no code-signing certificate")
endif()

file(SHA256 "${msi}" hash)
file(WRITE "${msi}.sha256" "${hash}  ${name}\n")
