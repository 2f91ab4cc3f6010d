# Run by cpack once the zip is written, still in cpack's own folder: makes it the same bytes on every
# machine, then publishes it in the package folder with the exe's signature, when there is one, and
# last SHA256SUMS. cpack copies the zip out even when this script fails, unless the zip is gone: so
# a failure here takes the zip with it, and whatever was published already.
#
# CPack 3.25 leaves in the zip what the builder's machine chose: entries in the order the file
# system lists them, the builder's uid and gid, the folder's mode after the umask, and the files'
# times, written in the local time zone. strip-nondeterminism sorts the entries and sets all of
# that to fixed values, every time to the date of the commit being packaged.

include(${CMAKE_CURRENT_LIST_DIR}/release-files.cmake)
set(_zip ${CPACK_PACKAGE_FILES})  # one generator, one file
macro(_refuse why)
    file(REMOVE ${_zip})
    tamsory_unpublish(${CPACK_PACKAGE_DIRECTORY})
    message(FATAL_ERROR " No release: ${why}")
endmacro()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(_epoch $ENV{SOURCE_DATE_EPOCH})
else()
    # safe.directory: root after a plain su builds in a clone that another user owns.
    execute_process(COMMAND git -c safe.directory=${CPACK_TAMSORY_SOURCE_DIR} log -1 --format=%ct
                    WORKING_DIRECTORY ${CPACK_TAMSORY_SOURCE_DIR}
                    OUTPUT_VARIABLE _epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT _epoch MATCHES "^[0-9]+$")
    _refuse("no commit to date it from: build it from a git clone, or set SOURCE_DATE_EPOCH")
endif()
find_program(_strip strip-nondeterminism)
if(NOT _strip)
    _refuse("strip-nondeterminism is missing: run tools/install-deps.sh release")
endif()
# Zip times are local times: the same zone for everyone.
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC0 ${_strip} --type zip --timestamp ${_epoch} ${_zip}
                RESULT_VARIABLE _failed ERROR_VARIABLE _why)
if(_failed)
    _refuse("strip-nondeterminism failed: ${_why}")
endif()

get_filename_component(_name ${_zip} NAME)
set(_exe ${CPACK_TEMPORARY_DIRECTORY}/${CPACK_TAMSORY_FOLDER}/Tamsory.exe)
file(SHA256 ${_zip} _zip_sum)
file(SHA256 ${_exe} _exe_sum)
# The format sha256sum -c reads: the zip, and the exe once the zip is unpacked beside it.
file(WRITE ${CPACK_TOPLEVEL_DIRECTORY}/SHA256SUMS "${_zip_sum}  ${_name}\n${_exe_sum}  ${CPACK_TAMSORY_FOLDER}/Tamsory.exe\n")
foreach(_file IN ITEMS ${_zip} ${CPACK_TOPLEVEL_DIRECTORY}/${TAMSORY_SIGNATURE_NAME} ${CPACK_TOPLEVEL_DIRECTORY}/SHA256SUMS)
    if(EXISTS ${_file})  # the signature only when the exe is signed
        get_filename_component(_name ${_file} NAME)
        file(COPY_FILE ${_file} ${CPACK_PACKAGE_DIRECTORY}/${_name} RESULT _failed)
        if(_failed)
            _refuse("${_failed}")
        endif()
    endif()
endforeach()
