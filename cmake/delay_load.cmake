# Delay-loaded system libraries. Every DLL a program imports is loaded and
# initialised when the process starts, and under Wine each costs an
# unattended run a few milliseconds before it does anything. A library that
# only the window, or only some plug-ins, need is imported through a
# delay-load library in veltrane.exe: Windows loads it at the first call.
# Tests and tools link the ordinary import libraries.
#
# veltrane_delay_library(NAME DLL FUNCTION...) makes the delay-load library of
# NAME holding the listed functions (a function missing from the list shows as
# an undefined reference when veltrane.exe is linked: add it here).
# veltrane_system_libraries(TARGET LIB...) links TARGET's consumers with LIB,
# through its delay-load library where one exists and the consumer has the
# property VELTRANE_DELAY_LOAD set.
find_program(VELTRANE_DLLTOOL ${VELTRANE_MINGW_TRIPLE}-dlltool REQUIRED)
find_program(VELTRANE_NM ${VELTRANE_MINGW_TRIPLE}-nm REQUIRED)

function(veltrane_delay_library name dll)
    set(def ${CMAKE_BINARY_DIR}/delay/${name}.def)
    set(lib ${CMAKE_BINARY_DIR}/delay/lib${name}_delay.a)
    set(options --input-def ${def} --output-delaylib ${lib})
    set(text "LIBRARY ${dll}\nEXPORTS\n")
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
        # 32-bit stdcall names carry their argument bytes; the ordinary import
        # library knows them.
        find_library(plain ${name} REQUIRED NO_CACHE)
        execute_process(COMMAND ${VELTRANE_NM} ${plain} OUTPUT_VARIABLE symbols)
        list(APPEND options --kill-at)
    endif()
    foreach(function IN LISTS ARGN)
        if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
            string(REGEX MATCH " T _${function}@[0-9]+" decorated "${symbols}")
            if(NOT decorated)
                message(FATAL_ERROR "${function} not found in ${plain}")
            endif()
            string(REPLACE " T _" "" function "${decorated}")
        endif()
        string(APPEND text "${function}\n")
    endforeach()
    file(WRITE ${def} ${text})
    add_custom_command(OUTPUT ${lib} COMMAND ${VELTRANE_DLLTOOL} ${options} DEPENDS ${def}
                       COMMENT "Delay-load library for ${dll}")
    add_custom_target(${name}_delay DEPENDS ${lib})
    set_property(GLOBAL PROPERTY VELTRANE_DELAY_${name} ${lib})
endfunction()

function(veltrane_system_libraries target)
    foreach(name IN LISTS ARGN)
        get_property(delayed GLOBAL PROPERTY VELTRANE_DELAY_${name})
        if(delayed)
            add_dependencies(${target} ${name}_delay)
            target_link_libraries(${target} PUBLIC
                "$<IF:$<BOOL:$<TARGET_PROPERTY:VELTRANE_DELAY_LOAD>>,${delayed},${name}>")
        else()
            target_link_libraries(${target} PUBLIC ${name})
        endif()
    endforeach()
endfunction()

# Only the window uses these.
veltrane_delay_library(comctl32 comctl32.dll InitCommonControls)
veltrane_delay_library(ws2_32 ws2_32.dll
    WSACleanup WSAGetLastError WSARecv WSASend WSASetLastError WSASocketW WSAStartup
    WSAStringToAddressA __WSAFDIsSet accept bind closesocket connect getsockname htonl htons
    ioctlsocket listen ntohl ntohs select setsockopt shutdown)
veltrane_delay_library(mswsock mswsock.dll AcceptEx GetAcceptExSockaddrs)
veltrane_delay_library(bcrypt bcrypt.dll BCryptGenRandom)
veltrane_delay_library(version version.dll GetFileVersionInfoSizeW GetFileVersionInfoW
    VerQueryValueW)
# Only the Internet Explorer plug-ins and a few others use these.
veltrane_delay_library(wininet wininet.dll DeleteUrlCacheEntryW FindCloseUrlCache
    FindFirstUrlCacheEntryW FindNextUrlCacheEntryW GetUrlCacheEntryInfoW)
veltrane_delay_library(oleaut32 oleaut32.dll SysAllocString SysFreeString SysStringLen
    VariantChangeType VariantClear VariantInit)
