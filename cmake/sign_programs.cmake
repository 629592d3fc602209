# CPack runs this on the staged release files, before the package step: it first
# removes this version's packages from the output directory, so that a failed
# signing or package step leaves neither package; then it signs the programs
# when a certificate is given (cmake/signing.cmake), so the zip and the Windows
# Installer package carry the same signed programs. cmake/msi_package.cmake says
# in its one line whether the release is signed.
include("${CMAKE_CURRENT_LIST_DIR}/signing.cmake")

foreach(package zip msi)
  file(REMOVE "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.${package}"
    "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.${package}.sha256")
endforeach()

if(KESTRUP_SIGNING)
  foreach(file IN LISTS CPACK_KESTRUP_RELEASE_FILES)
    string(REGEX MATCH "^[^|]*" program "${file}")
    if(program MATCHES "\\.exe$")
      kestrup_sign_file("${CPACK_TEMPORARY_DIRECTORY}/${program}")
    endif()
  endforeach()
endif()
