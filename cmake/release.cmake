# The release: Tamsory-<version>-win64.zip holding one folder Tamsory-<version>/ with the exe, the
# user guide and the notices of others' code in the exe; SHA256SUMS beside it, and Tamsory.exe.sig
# when the exe is signed. `cmake --workflow --preset release` makes them.

set(_folder Tamsory-${PROJECT_VERSION})
install(TARGETS Tamsory RUNTIME DESTINATION ${_folder})
# Notepad on Windows 7 shows a text file right only with a byte-order mark (kept in the template)
# and CR LF line ends.
configure_file(${PROJECT_SOURCE_DIR}/dist/guide-zh.txt.in ${CMAKE_BINARY_DIR}/使用说明.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/使用说明.txt DESTINATION ${_folder})
include(${CMAKE_CURRENT_LIST_DIR}/notices.cmake)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME Tamsory-${PROJECT_VERSION}-win64)
# The folder inside is the install destination above, not the package's file name.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_TAMSORY_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_TAMSORY_FOLDER ${_folder})
set(CPACK_TAMSORY_OBJDUMP ${CMAKE_OBJDUMP})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/release-stage.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/release-finish.cmake)
include(CPack)
