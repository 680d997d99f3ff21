# Build rules shared by the whole suite: warnings, sanitizers, and the helpers that register
# tests, benchmarks and fuzz targets with CTest.

add_compile_options(-Wall -Wextra)
if(Q7_WERROR)
    add_compile_options(-Werror)
endif()

if(Q7_SANITIZE)
    add_compile_options(-fsanitize=${Q7_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${Q7_SANITIZE})
endif()

if(Q7_FUZZ)
    # Libraries get coverage instrumentation; each fuzz target links libFuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# The Windows build's programs run under Wine: on the build machine through CTest's emulator,
# in a Wine prefix of the build's own that the fixture test wine_prefix makes fresh for each run.
set(Q7_WINDOWS_UNDER_WINE OFF)
if(WIN32 AND CMAKE_CROSSCOMPILING)
    if(NOT EXISTS "${Q7_QT_MINGW_KIT}/lib/cmake/Qt6/Qt6Config.cmake")
        message(FATAL_ERROR "No Qt for MinGW kit at '${Q7_QT_MINGW_KIT}': give -DQ7_QT_MINGW_KIT=DIR "
                            "(scripts/make-qt-mingw-kit makes one)")
    endif()
    set(Q7_WINDOWS_UNDER_WINE ON)
    find_program(Q7_WINE64 wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    find_program(Q7_WINESERVER wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(Q7_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(Q7_WINE_DISPLAY_FILE ${CMAKE_BINARY_DIR}/wine-display)
    # The kit's DLLs and MinGW's runtime, as Wine paths (Wine's drive Z: is the root).
    set(Q7_MINGW_RUNTIME_DIRS /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
    set(Q7_WINEPATH "")
    foreach(dir ${Q7_QT_MINGW_KIT}/bin ${Q7_MINGW_RUNTIME_DIRS})
        string(APPEND Q7_WINEPATH "Z:${dir};")
    endforeach()
    set(Q7_QT_PLUGIN_PATH "Z:${Q7_QT_MINGW_KIT}/plugins")
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
    # Programs that make build files run in a prefix of their own, which the tests' fresh
    # prefix does not disturb.
    set(Q7_BUILD_STEP_RUNNER ${CMAKE_COMMAND} -E env Q7_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix-build
        ${CMAKE_BINARY_DIR}/wine-run)
    # A build machine path as a program under Wine names it.
    set(Q7_HOST_PATH_PREFIX "Z:")
    # Wine does not pass QT_ variables on to a program: the platform goes as its argument.
    set(Q7_OFFSCREEN_ARGS -platform offscreen)
else()
    set(Q7_BUILD_STEP_RUNNER "")
    set(Q7_HOST_PATH_PREFIX "")
    set(Q7_OFFSCREEN_ARGS "")
endif()

if(BUILD_TESTING)
    if(Q7_WINDOWS_UNDER_WINE)
        # Debian has no GoogleTest for MinGW; libgtest-dev brings its source.
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
        set(Q7_WINE_CARD ${CMAKE_BINARY_DIR}/wine-card)
        configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-prefix.sh.in ${CMAKE_BINARY_DIR}/wine-prefix.sh
            @ONLY)
        add_test(NAME wine_prefix COMMAND sh ${CMAKE_BINARY_DIR}/wine-prefix.sh)
        add_test(NAME wine_prefix_end COMMAND sh ${CMAKE_BINARY_DIR}/wine-prefix.sh stop)
        set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 120 LABELS unit)
        set_tests_properties(wine_prefix_end PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60 LABELS unit)
    else()
        find_package(GTest REQUIRED)
    endif()
    find_package(Threads REQUIRED)
    if(NOT CMAKE_CROSSCOMPILING)
        find_package(benchmark QUIET)
    endif()
endif()

# q7_test_runs_under_wine(<test>...): in the Windows build the tests need the Wine prefix.
function(q7_test_runs_under_wine)
    if(Q7_WINDOWS_UNDER_WINE)
        set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED wine)
    endif()
endfunction()

# ThreadSanitizer's suppressions (cmake/tsan.supp), which every test gets.
set(Q7_TSAN_SUPPRESSIONS ${CMAKE_CURRENT_LIST_DIR}/tsan.supp)

# q7_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [ENV ...] [TIMEOUT s]
#             [DEFINITIONS ...] [DEPENDS ...])
# One GoogleTest program, one CTest entry. The default label is "unit". DEFINITIONS are compile
# definitions of the test program (paths of the programs it runs, for example), DEPENDS the
# targets that must be built before it runs (those programs).
function(q7_add_test name)
    if(NOT BUILD_TESTING)
        return()
    endif()
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV;DEFINITIONS;DEPENDS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
    if(T_DEFINITIONS)
        target_compile_definitions(${name} PRIVATE ${T_DEFINITIONS})
    endif()
    if(T_DEPENDS)
        add_dependencies(${name} ${T_DEPENDS})
    endif()
    # Under Wine the platform goes as the program's argument (see Q7_OFFSCREEN_ARGS).
    set(args "")
    if(Q7_WINDOWS_UNDER_WINE AND "${T_ENV}" MATCHES "QT_QPA_PLATFORM=([a-z]+)")
        set(args -platform ${CMAKE_MATCH_1})
    endif()
    add_test(NAME ${name} COMMAND ${name} ${args})
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT})
    q7_test_runs_under_wine(${name})
    # The sanitizers' suppressions of the libraries they cannot see into.
    list(APPEND T_ENV "TSAN_OPTIONS=suppressions=${Q7_TSAN_SUPPRESSIONS}")
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENV}")
endfunction()

# q7_add_benchmark(<name> SOURCES ... [LIBS ...])
# Google Benchmark program, registered under the "bench" label, which the default test run skips.
function(q7_add_benchmark name)
    if(NOT BUILD_TESTING OR NOT benchmark_FOUND)
        return()
    endif()
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS bench)
endfunction()

# q7_add_fuzzer(<name> SOURCES ... [LIBS ...] [SECONDS n])
# libFuzzer target (only in a Q7_FUZZ build with clang); CTest runs it for a bounded time.
function(q7_add_fuzzer name)
    if(NOT Q7_FUZZ)
        return()
    endif()
    cmake_parse_arguments(F "" "SECONDS" "SOURCES;LIBS" ${ARGN})
    if(NOT F_SECONDS)
        set(F_SECONDS 60)
    endif()
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME ${name} COMMAND ${name} -max_total_time=${F_SECONDS} -rss_limit_mb=2048 ${corpus})
    set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()

# q7_utf8_program(<target>...): on Windows the programs' narrow strings are UTF-8 (their manifest,
# cmake/utf8.manifest), as they are on Linux.
function(q7_utf8_program)
    if(NOT WIN32)
        return()
    endif()
    set(rc ${CMAKE_BINARY_DIR}/utf8_manifest.rc)
    # 1 is the manifest of a program (CREATEPROCESS_MANIFEST_RESOURCE_ID), 24 its type
    # (RT_MANIFEST).
    file(CONFIGURE OUTPUT ${rc} CONTENT "1 24 \"${_Q7_UTF8_MANIFEST}\"\n")
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${_Q7_UTF8_MANIFEST})
    foreach(target ${ARGN})
        if(TARGET ${target})
            target_sources(${target} PRIVATE ${rc})
        endif()
    endforeach()
endfunction()
set(_Q7_UTF8_MANIFEST ${CMAKE_CURRENT_LIST_DIR}/utf8.manifest)
