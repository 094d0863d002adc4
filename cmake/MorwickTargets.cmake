# Helpers shared by the folders' CMakeLists.

# Sources of a folder: every .cpp inside it or its subfolders, so one top-level folder is one
# library. New files are picked up at the next build without editing the list.
function(morwick_folder_sources out dir)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
    set(${out} ${srcs} PARENT_SCOPE)
endfunction()

# One GoogleTest executable per top-level test folder (subfolders included), registered with
# CTest. Tests matching the gtest filter LONG (slow ones, such as archives of gigabytes) get the
# CTest label "long", so a quick run can leave them out with -LE long. Files named in EXCLUDE
# (paths below the folder) are left to a program of their own, see morwick_test_program.
function(morwick_test_folder name)
    cmake_parse_arguments(ARG "" "LONG" "LIBS;EXCLUDE" ${ARGN})
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    foreach(excluded ${ARG_EXCLUDE})
        list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
    endforeach()
    set(long "")
    if(ARG_LONG)
        set(long LONG "${ARG_LONG}")
    endif()
    morwick_test_program(${name} SOURCES ${srcs} LIBS ${ARG_LIBS} ${long})
endfunction()

# One GoogleTest executable from SOURCES, registered with CTest as morwick_test_folder does.
function(morwick_test_program name)
    cmake_parse_arguments(ARG "" "LONG" "LIBS;SOURCES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} morwick_test_support GTest::gtest_main)
    set(filter "")
    if(ARG_LONG)
        set(filter TEST_FILTER "-${ARG_LONG}")
        gtest_discover_tests(${name}
            WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
            TEST_FILTER "${ARG_LONG}"
            TEST_LIST ${name}_LONG_TESTS
            PROPERTIES ENVIRONMENT "MORWICK_FIXTURES=${CMAKE_SOURCE_DIR}/tests/fixtures"
                       LABELS long
            DISCOVERY_TIMEOUT 60)
    endif()
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
        ${filter}
        PROPERTIES ENVIRONMENT "MORWICK_FIXTURES=${CMAKE_SOURCE_DIR}/tests/fixtures"
        DISCOVERY_TIMEOUT 60)
endfunction()

# A viewer library: the sources of `folder` (every .cpp inside it) built once as an object
# library `<target>_objects`, which the library's own tests link, and from those objects the
# shared library lib<target>.so. Symbols are hidden by default and the linker script
# `version_script` names the only ones exported; the library links the library copies of
# platform/ and diskio/ (one read attempt, no settings), whose symbols stay local, so they
# never bind to the program's copy. Extra libraries (Qt) follow LIBS.
function(morwick_viewer_library target folder version_script)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    morwick_folder_sources(srcs ${folder})
    file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${folder}/*.h)
    add_library(${target}_objects OBJECT ${srcs} ${headers})
    target_link_libraries(${target}_objects PUBLIC diskio_lib ${ARG_LIBS})
    set_target_properties(${target}_objects PROPERTIES AUTOMOC ON CXX_VISIBILITY_PRESET hidden
                                                       VISIBILITY_INLINES_HIDDEN ON)
    morwick_unity_build(${target}_objects)
    add_library(${target} SHARED)
    target_link_libraries(${target} PRIVATE ${target}_objects diskio_lib ${ARG_LIBS})
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR})
    set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                               VISIBILITY_INLINES_HIDDEN ON
                                               LINK_DEPENDS ${version_script})
    target_link_options(${target} PRIVATE "LINKER:--version-script=${version_script}"
                        "LINKER:--exclude-libs,ALL" "LINKER:--no-undefined")
endfunction()

# A Qt-using target compiled in batches when MORWICK_UNITY_BUILD is on.
function(morwick_unity_build target)
    if(MORWICK_UNITY_BUILD)
        set_target_properties(${target} PROPERTIES UNITY_BUILD ON
                                                   UNITY_BUILD_BATCH_SIZE ${MORWICK_UNITY_BATCH_SIZE})
    endif()
endfunction()
