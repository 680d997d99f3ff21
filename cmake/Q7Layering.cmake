# The layering of the libraries: each library exports only its own folder as an include root, so
# that a header of a library it does not link cannot be found, and CTest proves it.

# q7_library_headers(<target> [FOLDER <name>] [HEADERS_ONLY])
# Exports the current source folder to <target>'s users (and to <target> itself) under the name
# <name> (the folder's own name by default), as in #include "<name>/header.h", and nothing above
# or beside it. The include root is a folder of the build that holds only a link to the source.
# With HEADERS_ONLY the root holds a link to each header of the folder itself instead, so that its
# subfolders (tests, a library of their own) stay out of reach.
function(q7_library_headers target)
    cmake_parse_arguments(L "HEADERS_ONLY" "FOLDER" "" ${ARGN})
    if(NOT L_FOLDER)
        get_filename_component(L_FOLDER ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    endif()
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    if(L_HEADERS_ONLY)
        file(MAKE_DIRECTORY ${root}/${L_FOLDER})
        file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
        foreach(header ${headers})
            get_filename_component(name ${header} NAME)
            if(NOT EXISTS ${root}/${L_FOLDER}/${name})
                file(CREATE_LINK ${header} ${root}/${L_FOLDER}/${name} SYMBOLIC)
            endif()
        endforeach()
    else()
        file(MAKE_DIRECTORY ${root})
        if(NOT EXISTS ${root}/${L_FOLDER})
            file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${L_FOLDER} SYMBOLIC)
        endif()
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()

# q7_layering_check(<name> LIBRARY <target> INCLUDE <header> EXPECT COMPILES|FAILS)
# A CTest entry that compiles a source file including <header> as a file of <target> would (with
# <target>'s include roots and those of what it links). EXPECT FAILS passes only when <header> is
# a library's header and the compiler cannot find it from <target> (a header of a library above
# it); EXPECT COMPILES passes when the file compiles (a header <target> may use).
function(q7_layering_check name)
    if(NOT BUILD_TESTING)
        return()
    endif()
    cmake_parse_arguments(L "" "LIBRARY;INCLUDE;EXPECT" "" ${ARGN})
    if(NOT L_EXPECT MATCHES "^(COMPILES|FAILS)$")
        message(FATAL_ERROR "q7_layering_check(${name}): EXPECT COMPILES or FAILS")
    endif()
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}.cpp)
    file(WRITE ${source} "#include \"${L_INCLUDE}\"\n")
    add_library(${name} OBJECT EXCLUDE_FROM_ALL ${source})
    target_link_libraries(${name} PRIVATE ${L_LIBRARY})
    target_include_directories(${name} PRIVATE
        $<TARGET_PROPERTY:${L_LIBRARY},INCLUDE_DIRECTORIES>)
    target_compile_definitions(${name} PRIVATE
        $<TARGET_PROPERTY:${L_LIBRARY},COMPILE_DEFINITIONS>)
    add_test(NAME ${name}
             COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DTARGET=${name}
                     -DINCLUDE=${L_INCLUDE} -DEXPECT=${L_EXPECT} -P ${_Q7_LAYERING_FILE})
    set_tests_properties(${name} PROPERTIES LABELS "unit;layering" TIMEOUT 300)
endfunction()
set(_Q7_LAYERING_FILE ${CMAKE_CURRENT_LIST_FILE})

# Run as a script by the check above: build the check's object and judge the result.
if(CMAKE_SCRIPT_MODE_FILE)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(EXPECT STREQUAL "COMPILES")
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "\"${INCLUDE}\" does not compile here:\n${out}")
        endif()
        return()
    endif()
    file(GLOB owners ${BUILD_DIR}/include/*/${INCLUDE})
    if(NOT owners)
        message(FATAL_ERROR "\"${INCLUDE}\" is no library's header")
    endif()
    string(REGEX REPLACE "([][+.*()^$?|\\])" "\\\\\\1" pattern "${INCLUDE}")
    # The compiler's own words for a header it cannot find (GCC, clang).
    if(rc EQUAL 0 OR NOT out MATCHES
       "${pattern}: No such file or directory|'${pattern}' file not found")
        message(FATAL_ERROR "\"${INCLUDE}\" should not be found here:\n${out}")
    endif()
    message(STATUS "\"${INCLUDE}\" is out of reach, as it should be")
endif()
