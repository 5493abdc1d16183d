# The Windows build (mingw-w64). Included by the top CMakeLists.txt before the library's targets:
# the platform sources for Windows, and always the DLL; ltpadmin_windows_library() then adds what
# the targets need there.

# The platform layer: Windows has the real windows, messages, timers, events, tick count and code
# pages; what it lacks without the class library stays ours (strings, lists, the asynchronous
# socket, in platform/win32/). ltp::Client's socket is on Windows Sockets (client/win32/). The
# POSIX folders are not built here.
file(GLOB LTPADMIN_WIN32_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/ltpadmin/platform/win32/*.cpp
     ${PROJECT_SOURCE_DIR}/ltpadmin/client/win32/*.cpp)
list(APPEND LTPADMIN_SOURCES ${LTPADMIN_WIN32_SOURCES})

# ltpadmin.dll with its import library libltpadmin.dll.a; the tests link the same objects
# statically (ltpadmin::internal), internals included.
set(BUILD_SHARED_LIBS ON)

# Programs and the DLLs they load side by side, so that they start without a PATH.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)

# The compiler's run-time DLLs beside the programs, for wine and for copying to a Windows machine.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${found}" AND EXISTS "${found}")
    file(COPY ${found} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  else()
    message(WARNING "${dll} not found: the programs will need it on their PATH")
  endif()
endforeach()

# The tools are POSIX programs.
set(LTPADMIN_BUILD_TOOLS OFF)

function(ltpadmin_windows_library)
  # Neither min nor max as macros inside the library; a program keeps whatever it chose.
  target_compile_definitions(ltpadmin_objects PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
  target_link_libraries(ltpadmin PUBLIC ws2_32)
  if(TARGET ltpadmin_internal)
    target_link_libraries(ltpadmin_internal PUBLIC ws2_32)
  endif()
  if(BUILD_SHARED_LIBS)
    target_compile_definitions(ltpadmin INTERFACE LTPADMIN_USING_DLL)
    # ltpadmin.dll, without the "lib" that mingw would put before its name.
    set_target_properties(ltpadmin PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
  endif()
endfunction()
