cmake_minimum_required(VERSION 3.25)
# Fails when a Windows binary imports a DLL that is not part of Windows itself (a runtime of the
# compiler, a library that should have been linked statically).
# Usage: cmake -DOBJDUMP=... -DBINARY=... -P CheckSystemDlls.cmake
set(SYSTEM_DLLS
    advapi32 bcrypt comctl32 comdlg32 crypt32 gdi32 iphlpapi kernel32 msvcrt ntdll odbc32
    ole32 oleaut32 secur32 shell32 shlwapi user32 userenv uxtheme version winmm ws2_32)
execute_process(COMMAND ${OBJDUMP} -p ${BINARY} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} could not read ${BINARY}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
set(foreign "")
foreach(import IN LISTS imports)
    string(REGEX REPLACE "DLL Name: ([^\n]+)" "\\1" dll "${import}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" name)
    string(REGEX REPLACE "\\.dll$" "" name "${name}")
    if(NOT name IN_LIST SYSTEM_DLLS AND NOT name MATCHES "^api-ms-win-")
        list(APPEND foreign "${dll}")
    endif()
endforeach()
if(foreign)
    message(FATAL_ERROR "${BINARY} needs DLLs that Windows does not have: ${foreign}")
endif()
