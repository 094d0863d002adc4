# Lists the dynamic symbols the library defines (nm -DC) and fails unless the only one is
# CRarZipDisplay::ShowFilePreview.
execute_process(COMMAND nm -DC --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX REPLACE "\n$" "" symbols "${symbols}")
string(REPLACE "\n" ";" lines "${symbols}")
set(exported "")
foreach(line ${lines})
    string(REGEX REPLACE "^[0-9a-f]+ [A-Za-z] " "" name "${line}")
    list(APPEND exported "${name}")
endforeach()
set(expected "CRarZipDisplay::ShowFilePreview(void*, char16_t const*, PreviewFileInfo*, unsigned char, char16_t const*)")
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "libtessaly exports:\n${symbols}\nexpected only: ${expected}")
endif()
message(STATUS "exports: ${exported}")
