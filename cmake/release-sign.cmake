# Run by cpack once the release's files are staged, before the zip is written.
#
# First it removes the zip and SHA256SUMS of an earlier run, so that a release that fails from here
# on leaves neither behind. Then, when TAMSORY_SIGN_PKCS12 names a code-signing certificate (a
# PKCS#12 file), it signs the staged Tamsory.exe with Authenticode and SHA-256, adding an RFC 3161
# timestamp when TAMSORY_SIGN_TIMESTAMP_URL names a timestamp server. The certificate's password is
# in the file TAMSORY_SIGN_PASSWORD_FILE names, which osslsigncode reads itself: the password is
# never on a command line, in the CMake cache or in a log. Without a certificate nothing changes.
# `osslsigncode remove-signature` gives back the unsigned exe byte for byte, which is how anyone
# holds a signed release against their own build.

file(REMOVE ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS)
set(_p12 "$ENV{TAMSORY_SIGN_PKCS12}")
if(NOT _p12)
    return()
endif()
set(_pass "$ENV{TAMSORY_SIGN_PASSWORD_FILE}")
set(_exe ${CPACK_TEMPORARY_DIRECTORY}/${CPACK_TAMSORY_FOLDER}/Tamsory.exe)
find_program(_osslsigncode osslsigncode)
if(NOT EXISTS "${_p12}" OR IS_DIRECTORY "${_p12}")
    set(_problem "TAMSORY_SIGN_PKCS12 names no certificate file: ${_p12}")
elseif(NOT EXISTS "${_pass}" OR IS_DIRECTORY "${_pass}")
    set(_problem "TAMSORY_SIGN_PASSWORD_FILE names no file holding the certificate's password: ${_pass}")
elseif(NOT _osslsigncode)
    set(_problem "osslsigncode is missing: run tools/install-deps.sh release")
else()
    set(_timestamp "$ENV{TAMSORY_SIGN_TIMESTAMP_URL}")
    if(_timestamp)
        set(_timestamp -ts ${_timestamp})
    endif()
    execute_process(COMMAND ${_osslsigncode} sign -pkcs12 ${_p12} -readpass ${_pass} -h sha256 -n Tamsory
                            ${_timestamp} -in ${_exe} -out ${_exe}.signed
                    RESULT_VARIABLE _failed OUTPUT_VARIABLE _log ERROR_VARIABLE _log)
    if(_failed)
        # Its first line that says what went wrong, such as "Failed to parse PKCS#12 file: ... (Wrong password?)".
        string(REGEX MATCH "[^\n]*(PKCS#12|password|[Tt]imestamp|[Cc]ertificate)[^\n]*" _why "${_log}")
        if(NOT _why)
            string(REGEX MATCH "[^\n]+" _why "${_log}")
        endif()
        set(_problem "osslsigncode could not sign it: ${_why}")
    endif()
endif()
if(_problem)
    file(REMOVE ${_exe}.signed)
    message(FATAL_ERROR " Tamsory.exe not signed, no release made: ${_problem}")  # the blank: one line, unwrapped
endif()
file(RENAME ${_exe}.signed ${_exe})
message(STATUS "Tamsory.exe signed with the certificate in ${_p12}")
