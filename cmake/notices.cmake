# THIRD-PARTY-NOTICES.txt: the code of others that is linked into Tamsory.exe, one section a part,
# each with what it does in the program, the Debian package and version it was built from, and the
# copyright lines and licence text that the package's copyright file gives for it. The package and
# its version are asked of dpkg when the build is configured: they are those of the tools that
# build this release, never a number that goes stale in the tree. tests/release/check.sh holds the
# sections against the link map, so a part linked in or dropped fails it until its section here is
# added or removed.

# The text of a Debian copyright file that belongs to one part. STANZAS: the paragraphs whose Files
# field starts with one of these paths, as they stand, then the stand-alone License paragraphs they
# name without giving the text. BETWEEN: the lines from each start mark up to its end mark.
function(_tamsory_licence copyright how marks out)
    if(how STREQUAL STANZAS)
        set(program [=[
            BEGIN { RS = ""; FS = "\n"; n = split(marks, m, "|"); for (i = 1; i <= n; i++) want["Files: " m[i]] = 1 }
            $1 in want {
                print $0 "\n"; found++
                for (i = 2; i <= NF; i++) if ($i ~ /^License: / && (i == NF || $(i + 1) !~ /^ /)) {
                    k = split(substr($i, 10), names, / (and|or) /)
                    for (j = 1; j <= k; j++) if (!(names[j] in named)) named[order[++count] = names[j]] = 1
                }
            }
            $1 ~ /^License: / && NF > 1 { text[substr($1, 10)] = $0 }
            END {
                for (i = 1; i <= count; i++) if (order[i] in text) print text[order[i]] "\n"; else exit 1
                exit (found != n)
            }]=])
    else()
        set(program [=[
            BEGIN { n = split(marks, m, "|"); k = 1 }
            k <= n && index($0, m[k]) == 1 { on = k % 2; k++ }
            on
            END { exit (k <= n) }]=])
    endif()
    execute_process(COMMAND awk -v "marks=${marks}" "${program}" ${copyright}
                    OUTPUT_VARIABLE text RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${copyright} no longer reads as expected: ${marks}")
    endif()
    string(STRIP "${text}" text)
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Adds a section to _sections: the part's name, what it does in Tamsory.exe, its licence in a few
# words, the files the build takes from it (the first one tells the package), and how its text is
# cut out of the package's copyright file.
function(_tamsory_notice name what licence files how marks)
    string(REGEX MATCH "^[^ ]+" first "${files}")
    if(first MATCHES "\\.h$")  # a header: stb's, where the build found it
        set(path ${STB_IMAGE_DIR}/${first})
    else()
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${first} OUTPUT_VARIABLE path
                        OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    endif()
    file(REAL_PATH "${path}" path)
    execute_process(COMMAND dpkg-query -S ${path} OUTPUT_VARIABLE owner ERROR_QUIET)
    string(REGEX MATCH "^[^:, ]+" package "${owner}")
    if(NOT package)
        message(FATAL_ERROR "No Debian package holds ${path}: the notice for ${name} cannot be written.")
    endif()
    execute_process(COMMAND dpkg-query -W -f=\${Version} ${package} OUTPUT_VARIABLE version
                    COMMAND_ERROR_IS_FATAL ANY)
    set(copyright /usr/share/doc/${package}/copyright)
    _tamsory_licence(${copyright} ${how} "${marks}" text)
    set(_sections "${_sections}

== ${name} ==
What it does in Tamsory.exe: ${what}
Built from: ${files}
Debian package: ${package} ${version}
Licence: ${licence}
Copyright and licence, from ${copyright}:

${text}
" PARENT_SCOPE)
endfunction()

set(_sections "")
set(_gcc_licence "GPL 3 or later with the GCC Runtime Library Exception 3.1: it asks nothing of a program")
set(_gcc_text "GCC is Copyright|The libbacktrace library|GCC RUNTIME LIBRARY EXCEPTION|libquadmath/")
_tamsory_notice(libstdc++ "the C++ standard library: strings, containers, exceptions"
    "${_gcc_licence}" "libstdc++.a" BETWEEN ${_gcc_text})
_tamsory_notice(libgcc "GCC's support code: stack probes, unwinding, thread-local storage"
    "${_gcc_licence}" "crtbegin.o crtend.o libgcc.a libgcc_eh.a" BETWEEN ${_gcc_text})
# Every stanza of the C runtime's libraries, whichever of their members the program needs today;
# not the profiler's, which only -pg links.
_tamsory_notice("mingw-w64 runtime" "start-up, and the C functions msvcrt.dll lacks (gdtoa, printf)"
    "ZPL 2.1; gdtoa, the printf formatter and more under the notices below; parts public domain"
    "crt2u.o libmingw32.a libmingwex.a libmsvcrt.a" STANZAS
    "*|mingw-w64-crt/crt/*|mingw-w64-crt/gdtoa/*|mingw-w64-crt/gdtoa/qnan.c|mingw-w64-crt/math/s_erf.c|\
mingw-w64-crt/misc/basename.c|mingw-w64-crt/misc/getopt.c|mingw-w64-crt/stdio/strtok_r.c")
_tamsory_notice(winpthreads "the threads, mutexes and condition variables under the C++ runtime"
    "MIT (expat); pthread.h under a BSD licence; parts public domain"
    "libpthread.a" STANZAS
    "mingw-w64-libraries/winpthreads/*|mingw-w64-libraries/winpthreads/include/pthread.h|\
mingw-w64-libraries/winpthreads/src/clock.c|mingw-w64-libraries/winpthreads/src/libgcc/dll_math.c")
_tamsory_notice(stb_image "decodes the main window's JPEG picture"
    "public domain, or MIT (Expat) if you prefer: it asks nothing" "stb_image.h" STANZAS "*")

string(ASCII 239 187 191 _bom)  # UTF-8's byte-order mark
set(_notices "${_bom}Tamsory.exe 中包含的自由软件及其许可证
Free software built into Tamsory.exe, and its licences

Tamsory.exe is one self-contained file. Besides Tamsory's own code it holds the parts below,
written by others and built into it from Debian's packages. Each section says what the part does
in Tamsory.exe and which Debian package and version it was built from, and gives its copyright
lines and licence text as that package's copyright file gives them. The Windows DLLs that
Tamsory.exe calls (kernel32, user32, gdi32, msvcrt and others) are part of Windows and are not
listed.${_sections}")
# As the guide: CR LF, so that Notepad on Windows 7 shows it right.
string(REPLACE "\n" "\r\n" _notices "${_notices}")
file(WRITE ${CMAKE_BINARY_DIR}/THIRD-PARTY-NOTICES.txt "${_notices}")
