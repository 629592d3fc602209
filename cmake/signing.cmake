# Code signing of release files with osslsigncode, for the CPack scripts.
#
# A certificate is given through the environment when CPack runs, never the
# cache: KESTRUP_SIGN_PKCS12 names a PKCS#12 file holding the certificate and its
# key, KESTRUP_SIGN_PASSWORD is its password (may be unset when it has none), and
# KESTRUP_SIGN_TIMESTAMP_URL, when set, names an RFC 3161 timestamp server.

set(KESTRUP_SIGNING OFF)
if(NOT "$ENV{KESTRUP_SIGN_PKCS12}" STREQUAL "")
  set(KESTRUP_SIGNING ON)
endif()

# kestrup_sign_file(<file> [<osslsigncode option>...])
# Signs <file> in place with SHA-256, or stops the packaging: a release that was
# meant to be signed never leaves unsigned.
function(kestrup_sign_file file)
  find_program(KESTRUP_OSSLSIGNCODE osslsigncode)
  if(NOT KESTRUP_OSSLSIGNCODE)
    message(FATAL_ERROR "Cannot sign ${file}: osslsigncode is not installed")
  endif()
  set(certificate "$ENV{KESTRUP_SIGN_PKCS12}")
  if(NOT EXISTS "${certificate}")
    message(FATAL_ERROR "Cannot sign ${file}: KESTRUP_SIGN_PKCS12 names no file (${certificate})")
  endif()
  # The password goes through a file, never the command line, which other
  # users of the machine can see. The file lies in a fresh directory that
  # mktemp creates for its owner alone, so no one else can open it at any moment.
  execute_process(COMMAND mktemp -d RESULT_VARIABLE result
    OUTPUT_VARIABLE secret_dir OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Cannot sign ${file}: mktemp -d failed")
  endif()
  set(password_file "${secret_dir}/password")
  file(WRITE "${password_file}" "$ENV{KESTRUP_SIGN_PASSWORD}")
  set(timestamp)
  if(NOT "$ENV{KESTRUP_SIGN_TIMESTAMP_URL}" STREQUAL "")
    set(timestamp -ts "$ENV{KESTRUP_SIGN_TIMESTAMP_URL}")
  endif()
  file(REMOVE "${file}.signed")
  execute_process(
    COMMAND "${KESTRUP_OSSLSIGNCODE}" sign -pkcs12 "${certificate}" -readpass "${password_file}"
            -h sha256 ${timestamp} ${ARGN} -in "${file}" -out "${file}.signed"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  file(REMOVE_RECURSE "${secret_dir}")
  if(NOT result EQUAL 0)
    file(REMOVE "${file}.signed")
    message(FATAL_ERROR "Signing ${file} failed:\n${output}")
  endif()
  file(RENAME "${file}.signed" "${file}")
endfunction()
