# Helpers shared by the folders' CMakeLists.

# Sources of a folder: every .cpp inside it or its subfolders, so one top-level folder is one
# library. New files are picked up at the next build without editing the list.
function(morwick_folder_sources out dir)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
    set(${out} ${srcs} PARENT_SCOPE)
endfunction()

# One GoogleTest executable per top-level test folder (subfolders included), registered with
# CTest.
function(morwick_test_folder name)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_executable(${name} ${srcs})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} morwick_test_support GTest::gtest_main)
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
        PROPERTIES ENVIRONMENT "MORWICK_FIXTURES=${CMAKE_SOURCE_DIR}/tests/fixtures"
        DISCOVERY_TIMEOUT 60)
endfunction()

# A viewer library the program links at load time: every .cpp of <folder> and its subfolders
# over the library copies of platform/ and diskio/, symbols hidden but for what the version
# script exports, built into bin/ beside the program.
function(morwick_viewer_library target folder version_script)
    morwick_folder_sources(srcs ${folder})
    add_library(${target} SHARED ${srcs})
    target_link_libraries(${target} PRIVATE platform_lib diskio_lib)
    set_target_properties(${target} PROPERTIES
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin
        LINK_DEPENDS ${version_script})
    target_link_options(${target} PRIVATE -Wl,--version-script=${version_script}
                        -Wl,--no-undefined)
endfunction()
