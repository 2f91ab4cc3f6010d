# THIRD-PARTY-NOTICES.txt: the code of others that is linked into Tamsory.exe. First a section a
# part: what it does in the program, the files the build takes from it, and the Debian package and
# version they come from, asked of dpkg when the build is configured (those of the tools that build
# this release, never a number that goes stale in the tree). Then each of those packages' copyright
# files, whole and as Debian ships it: more text than the parts need, never less, and nothing that
# depends on how a Debian release lays the file out. Last, the permission notices in libstdc++'s
# headers, whose templates are compiled into the exe. tests/release/check.sh holds the sections
# against the link map.
#
# When a notice cannot be written, the exe still configures and builds, for ./run.sh; the release
# then refuses to pack, and says why.

set(_sections "")
set(_copyrights "")  # each package's copyright file once, libstdc++ and libgcc sharing GCC's
set(_problems "")

# Adds a section: the part's name, what it does in Tamsory.exe, its licence in a few words, and the
# files the build takes from it (the first one tells the package).
function(_tamsory_notice name what licence files)
    string(REGEX MATCH "^[^ ]+" first "${files}")
    if(first MATCHES "\\.h$")  # a header: stb's, where the build found it
        set(path ${STB_IMAGE_DIR}/${first})
    else()
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${first} OUTPUT_VARIABLE path
                        OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
    file(REAL_PATH "${path}" path)
    execute_process(COMMAND dpkg-query -S ${path} OUTPUT_VARIABLE owner ERROR_QUIET)
    string(REGEX MATCH "^[^:, ]+" package "${owner}")
    set(copyright /usr/share/doc/${package}/copyright)
    set(version "")
    set(size 0)
    if(package AND EXISTS ${copyright})
        execute_process(COMMAND dpkg-query -W -f=\${Version} ${package} OUTPUT_VARIABLE version)
        file(SIZE ${copyright} size)
    endif()
    if(NOT version OR NOT size)
        set(_problems "${_problems}\n  ${name}: no Debian package with a copyright file holds ${path}" PARENT_SCOPE)
        return()
    endif()
    file(REAL_PATH ${copyright} copyright)
    set(_copyrights ${_copyrights} ${copyright})
    list(REMOVE_DUPLICATES _copyrights)
    set(_copyrights "${_copyrights}" PARENT_SCOPE)
    set(_sections "${_sections}
== ${name} ==
What it does in Tamsory.exe: ${what}
Built from: ${files}
Debian package: ${package} ${version}
Licence: ${licence}
Copyright and licence: the whole of ${copyright}, below
" PARENT_SCOPE)
endfunction()

set(_gcc_licence "GPL 3 or later with the GCC Runtime Library Exception 3.1: it asks nothing of a program")
_tamsory_notice(libstdc++ "the C++ standard library: strings, containers, exceptions"
    "${_gcc_licence}; its headers' own notices are in the last section" "libstdc++.a")
_tamsory_notice(libgcc "GCC's support code: stack probes, unwinding, thread-local storage"
    "${_gcc_licence}" "crtbegin.o crtend.o libgcc.a libgcc_eh.a")
_tamsory_notice("mingw-w64 runtime" "start-up, and the C functions msvcrt.dll lacks (gdtoa, printf)"
    "ZPL 2.1; gdtoa, the printf formatter and more under their own notices; parts public domain"
    "crt2u.o libmingw32.a libmingwex.a libmsvcrt.a")
_tamsory_notice(winpthreads "the threads, mutexes and condition variables under the C++ runtime"
    "MIT (expat); pthread.h under a BSD licence; parts public domain" "libpthread.a")
_tamsory_notice(stb_image "decodes the main window's JPEG picture"
    "public domain, or MIT (Expat) if you prefer: it asks nothing" "stb_image.h")

foreach(_copyright IN LISTS _copyrights)
    file(READ ${_copyright} _text)
    string(STRIP "${_text}" _text)
    string(APPEND _sections "\n== ${_copyright} ==\n\n${_text}\n")
endforeach()

# libstdc++'s headers keep the permission notices of the STL's first makers, Hewlett-Packard and
# Silicon Graphics, which ask to appear in all copies; Debian's copyright file for GCC has none of
# them. Every distinct one, from every header that names either maker; a header that does but
# gives no notice in the expected form stops the release, so none is dropped unseen.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=include/c++ OUTPUT_VARIABLE _headers
                OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND grep -rlZE "Hewlett-Packard|Silicon Graphics" ${_headers}
                COMMAND env LC_ALL=C sort -z  # the same order everywhere
                COMMAND xargs -0r awk [=[
    FNR == 1 { if (file && !got) missing = missing " " file; file = FILENAME; got = 0 }
    { line = $0; sub(/^ \* ?/, "", line) }
    /^ \* Copyright \(c\) [0-9]/ { block = line; on = 1; next }
    on { block = block "\n" line }
    on && /implied warranty\./ {
        on = 0
        if (block ~ /Hewlett-Packard|Silicon Graphics/ && (got = 1) && !(block in seen)) seen[order[++n] = block]
    }
    END {
        if (!got) missing = missing " " file
        if (missing || !n) { print "no notice in the expected form in" missing; exit 1 }
        for (i = 1; i <= n; i++) print order[i] "\n"
    }]=] OUTPUT_VARIABLE _stl RESULT_VARIABLE _failed)
if(_failed OR NOT _stl)
    string(APPEND _problems "\n  libstdc++'s headers in ${_headers}: ${_stl}")
endif()
string(APPEND _sections "
== The notices in libstdc++'s headers ==
${_stl}")

file(REMOVE ${CMAKE_BINARY_DIR}/THIRD-PARTY-NOTICES.txt)
if(_problems)
    message(WARNING "THIRD-PARTY-NOTICES.txt cannot be written, so no release can be packed:${_problems}")
    install(CODE "message(FATAL_ERROR [==[No release without complete notices:${_problems}]==])")
    return()
endif()
string(ASCII 239 187 191 _bom)  # UTF-8's byte-order mark
set(_notices "${_bom}Tamsory.exe 中包含的自由软件及其许可证
Free software built into Tamsory.exe, and its licences

Tamsory.exe is one self-contained file. Besides Tamsory's own code it holds the parts below,
written by others and built into it from Debian's packages. Each section says what the part does
in Tamsory.exe and which Debian package and version it was built from. The copyright files of those
packages follow, whole, with the copyright lines and licence texts of each part among the rest.
The Windows DLLs that Tamsory.exe calls (kernel32, user32, gdi32, msvcrt and others) are part of
Windows and are not listed.
${_sections}")
# As the guide: CR LF, so that Notepad on Windows 7 shows it right.
string(REPLACE "\n" "\r\n" _notices "${_notices}")
file(WRITE ${CMAKE_BINARY_DIR}/THIRD-PARTY-NOTICES.txt "${_notices}")
install(FILES ${CMAKE_BINARY_DIR}/THIRD-PARTY-NOTICES.txt DESTINATION ${_folder})
