# CPack runs this on the staged release files, before it packs them: both
# programs are signed when a certificate is given (cmake/signing.cmake), so the
# zip and the Windows Installer package carry the same signed programs.
# cmake/msi_package.cmake says in its one line whether the release is signed.
include("${CMAKE_CURRENT_LIST_DIR}/signing.cmake")

if(KESTRUP_SIGNING)
  foreach(program Kestrup.exe kestrup-check.exe)
    kestrup_sign_file("${CPACK_TEMPORARY_DIRECTORY}/${program}")
  endforeach()
endif()
