# Run by cpack once the release's files are staged, before the zip is written.
#
# First, whatever an earlier release published in the package folder goes, so that a release that
# fails from here on leaves nothing to publish by mistake. Then the exe that is about to ship is
# checked: it may import only KnownDLLs, and only the functions on the reviewed Windows 7 list
# (tools/check-imports.sh). Then, when asked, it is signed, in one of two ways:
# - TAMSORY_SIGN_PKCS12 names a code-signing certificate and its key (a PKCS#12 file): Authenticode
#   with SHA-256, with an RFC 3161 timestamp when TAMSORY_SIGN_TIMESTAMP_URL names a server. The
#   password is in the file TAMSORY_SIGN_PASSWORD_FILE names, which osslsigncode reads itself: it is
#   never on a command line, in the CMake cache or in a log.
# - TAMSORY_ATTACH_SIGNATURE names the Tamsory.exe.sig of a signed release: that signature is put on
#   the exe just built, which gives the signed release byte for byte without its key. It is refused
#   unless the digest it signs is this exe's. The certificate chain proves nothing about that, and
#   osslsigncode's verdict on it (which fails for a chain this machine does not trust) is not asked.
# A signed exe's signature is kept, to be published beside the zip as Tamsory.exe.sig
# (release-finish.cmake). Without either setting, nothing changes.

include(${CMAKE_CURRENT_LIST_DIR}/release-files.cmake)
tamsory_unpublish(${CPACK_PACKAGE_DIRECTORY})
set(_exe ${CPACK_TEMPORARY_DIRECTORY}/${CPACK_TAMSORY_FOLDER}/Tamsory.exe)
set(_sig ${CPACK_TOPLEVEL_DIRECTORY}/${TAMSORY_SIGNATURE_NAME})  # beside the staged files, not among them
file(REMOVE ${_sig} ${_exe}.signed)

# A blank that starts a line of a refusal keeps CMake from wrapping it.
execute_process(COMMAND bash ${CPACK_TAMSORY_SOURCE_DIR}/tools/check-imports.sh ${CPACK_TAMSORY_OBJDUMP} ${_exe}
                RESULT_VARIABLE _failed OUTPUT_QUIET ERROR_VARIABLE _why)
if(_failed)
    string(REGEX REPLACE "([^\n]+)" "  \\1" _why "${_why}")
    message(FATAL_ERROR " No release: Tamsory.exe imports what it may not:\n${_why}")
endif()

set(_p12 "$ENV{TAMSORY_SIGN_PKCS12}")
set(_attach "$ENV{TAMSORY_ATTACH_SIGNATURE}")
if(NOT _p12 AND NOT _attach)
    return()
endif()
find_program(_osslsigncode osslsigncode)
if(_p12 AND _attach)
    set(_problem "TAMSORY_SIGN_PKCS12 signs, TAMSORY_ATTACH_SIGNATURE attaches a signature: set one of them")
elseif(NOT _osslsigncode)
    set(_problem "osslsigncode is missing: run tools/install-deps.sh release")
elseif(_attach)
    if(NOT EXISTS "${_attach}" OR IS_DIRECTORY "${_attach}")
        set(_problem "TAMSORY_ATTACH_SIGNATURE names no signature file: ${_attach}")
    else()
        # Its exit status mixes the digest with the chain: the digests it prints are what is asked.
        execute_process(COMMAND ${_osslsigncode} attach-signature -sigin ${_attach} -in ${_exe} -out ${_exe}.signed
                        OUTPUT_VARIABLE _log ERROR_VARIABLE _log)
        string(REGEX MATCH "Current message digest *: *([0-9A-F]+)" _ "${_log}")
        set(_signed ${CMAKE_MATCH_1})
        string(REGEX MATCH "Calculated message digest *: *([0-9A-F]+)" _ "${_log}")
        set(_built ${CMAKE_MATCH_1})
        if(NOT _signed OR NOT _built OR NOT EXISTS ${_exe}.signed)
            string(REGEX MATCH "[^\n]+" _why "${_log}")
            set(_problem "osslsigncode could not attach ${_attach}: ${_why}")
        elseif(NOT _signed STREQUAL _built)
            set(_problem "${_attach} is the signature of another exe (it signs the digest ${_signed}; this build's is ${_built}): build the release's commit on the Debian release it was made on")
        endif()
    endif()
else()
    set(_pass "$ENV{TAMSORY_SIGN_PASSWORD_FILE}")
    set(_timestamp "$ENV{TAMSORY_SIGN_TIMESTAMP_URL}")
    if(_timestamp)
        set(_timestamp -ts ${_timestamp})
    endif()
    if(NOT EXISTS "${_p12}" OR IS_DIRECTORY "${_p12}")
        set(_problem "TAMSORY_SIGN_PKCS12 names no certificate file: ${_p12}")
    elseif(NOT EXISTS "${_pass}" OR IS_DIRECTORY "${_pass}")
        set(_problem "TAMSORY_SIGN_PASSWORD_FILE names no file holding the certificate's password: ${_pass}")
    else()
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
endif()
if(NOT _problem)
    file(RENAME ${_exe}.signed ${_exe})
    execute_process(COMMAND ${_osslsigncode} extract-signature -in ${_exe} -out ${_sig}
                    RESULT_VARIABLE _failed OUTPUT_QUIET ERROR_VARIABLE _why)
    if(_failed)
        set(_problem "osslsigncode finds no signature on the signed exe: ${_why}")
    elseif(_attach)
        # Some of osslsigncode's failed verifications write the exe without the signature.
        file(SHA256 ${_attach} _given)
        file(SHA256 ${_sig} _carried)
        if(NOT _given STREQUAL _carried)
            set(_problem "osslsigncode did not put the signature in ${_attach} on the exe as it stands")
        endif()
    endif()
endif()
if(_problem)
    file(REMOVE ${_exe}.signed ${_sig})
    message(FATAL_ERROR " Tamsory.exe not signed, no release made: ${_problem}")
endif()
if(_attach)
    message(STATUS "Tamsory.exe carries the signature in ${_attach}")
else()
    message(STATUS "Tamsory.exe signed with the certificate in ${_p12}")
endif()
