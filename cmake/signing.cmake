# Code signing of release files with osslsigncode, for the CPack scripts.
#
# A certificate is given through the environment when CPack runs, never the
# cache: KESTRUP_SIGN_PKCS12 names a PKCS#12 file holding the certificate and its
# key, KESTRUP_SIGN_PASSWORD is its password (may be unset when it has none), and
# KESTRUP_SIGN_TIMESTAMP_URL, when set, names an RFC 3161 timestamp server.
# KESTRUP_SIGN_TIMEOUT bounds each signing in seconds (300 when unset): a
# timestamp server that accepts and never answers fails the packaging instead
# of hanging it.

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
  set(timeout "$ENV{KESTRUP_SIGN_TIMEOUT}")
  if(timeout STREQUAL "")
    set(timeout 300)
  elseif(NOT timeout MATCHES "^[1-9][0-9]*$")
    message(FATAL_ERROR "Cannot sign ${file}: KESTRUP_SIGN_TIMEOUT is no number of seconds (${timeout})")
  endif()
  # The password never touches the disk nor a command line, which other users
  # of the machine can see: the shell's builtin printf writes it from the
  # environment into a pipe that osslsigncode reads. A certificate without a
  # password gets none.
  set(password_pipe)
  set(password_option)
  if(NOT "$ENV{KESTRUP_SIGN_PASSWORD}" STREQUAL "")
    set(password_pipe COMMAND sh -c [[printf %s "$KESTRUP_SIGN_PASSWORD"]])
    set(password_option -readpass -)
  endif()
  set(timestamp)
  if(NOT "$ENV{KESTRUP_SIGN_TIMESTAMP_URL}" STREQUAL "")
    set(timestamp -ts "$ENV{KESTRUP_SIGN_TIMESTAMP_URL}")
  endif()
  file(REMOVE "${file}.signed")
  execute_process(${password_pipe}
    COMMAND "${KESTRUP_OSSLSIGNCODE}" sign -pkcs12 "${certificate}" ${password_option}
            -h sha256 ${timestamp} ${ARGN} -in "${file}" -out "${file}.signed"
    TIMEOUT ${timeout} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    file(REMOVE "${file}.signed")
    message(FATAL_ERROR "Signing ${file} failed (${result}):\n${output}")
  endif()
  file(RENAME "${file}.signed" "${file}")
endfunction()
