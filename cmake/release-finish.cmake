# Run by cpack once the zip is written: makes it the same bytes on every machine, then writes
# SHA256SUMS beside it.
#
# CPack 3.25 leaves in the zip what the builder's machine chose: entries in the order the file
# system lists them, the builder's uid and gid, the folder's mode after the umask, and the files'
# times, written in the local time zone. strip-nondeterminism sorts the entries and sets all of
# that to fixed values, every time to the date of the commit being packaged.

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(_epoch $ENV{SOURCE_DATE_EPOCH})
else()
    # safe.directory: root after a plain su builds in a clone that another user owns.
    execute_process(COMMAND git -c safe.directory=${CPACK_TAMSORY_SOURCE_DIR} log -1 --format=%ct
                    WORKING_DIRECTORY ${CPACK_TAMSORY_SOURCE_DIR}
                    OUTPUT_VARIABLE _epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT _epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "No commit to date the release from: build it from a git clone, or set SOURCE_DATE_EPOCH.")
endif()
find_program(_strip strip-nondeterminism)
if(NOT _strip)
    message(FATAL_ERROR "strip-nondeterminism is missing: run tools/install-deps.sh release.")
endif()

foreach(_zip IN LISTS CPACK_PACKAGE_FILES)
    # Zip times are local times: the same zone for everyone.
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC0 ${_strip} --type zip --timestamp ${_epoch} ${_zip}
                    COMMAND_ERROR_IS_FATAL ANY)
    get_filename_component(_name ${_zip} NAME)
    file(SHA256 ${_zip} _zip_sum)
    file(SHA256 ${CPACK_TEMPORARY_DIRECTORY}/${CPACK_TAMSORY_FOLDER}/Tamsory.exe _exe_sum)
    # The format sha256sum -c reads: the zip, and the exe once the zip is unpacked beside it.
    file(WRITE ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS "${_zip_sum}  ${_name}\n${_exe_sum}  ${CPACK_TAMSORY_FOLDER}/Tamsory.exe\n")
endforeach()
