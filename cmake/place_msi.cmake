# CPack runs this once it has packed the zip, and puts the zip in place after it:
# the Windows Installer package, built and signed before the zip was packed
# (cmake/msi_package.cmake), is renamed into place with its checksum file, each
# in one step.
foreach(name "${CPACK_PACKAGE_FILE_NAME}.msi" "${CPACK_PACKAGE_FILE_NAME}.msi.sha256")
  file(RENAME "${CPACK_TOPLEVEL_DIRECTORY}/${name}" "${CPACK_PACKAGE_DIRECTORY}/${name}")
endforeach()
message(STATUS "Windows Installer package: ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.msi")
