# The Windows build (mingw-w64): the library as a DLL with its import library, and the same objects
# as a static library for the tests, which reach below the exported interface. Included by the top
# CMakeLists.txt in place of the POSIX library target.

# The platform layer: Windows has the real windows, messages, timers, events, tick count and code
# pages; what it lacks without the class library stays ours (strings, lists, the asynchronous
# socket, in platform/win32/).
set(LTPADMIN_POSIX_STAND_INS async_socket codepage event message_queue thread_timer tick_count
    window)
foreach(name IN LISTS LTPADMIN_POSIX_STAND_INS)
  list(REMOVE_ITEM LTPADMIN_SOURCES ${PROJECT_SOURCE_DIR}/ltpadmin/platform/${name}.cpp)
endforeach()
file(GLOB LTPADMIN_WIN32_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/ltpadmin/platform/win32/*.cpp)
list(APPEND LTPADMIN_SOURCES ${LTPADMIN_WIN32_SOURCES})

# Programs and the DLLs they load side by side, so that they start without a PATH.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)

add_library(ltpadmin_objects OBJECT ${LTPADMIN_SOURCES})
target_include_directories(ltpadmin_objects PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
target_compile_definitions(ltpadmin_objects PRIVATE LTPADMIN_BUILDING_DLL)
# Neither min nor max as macros inside the library; a program keeps whatever it chose.
target_compile_definitions(ltpadmin_objects PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)

add_library(ltpadmin SHARED $<TARGET_OBJECTS:ltpadmin_objects>)
target_link_libraries(ltpadmin PUBLIC ws2_32)
target_compile_definitions(ltpadmin INTERFACE LTPADMIN_USING_DLL)
# ltpadmin.dll and libltpadmin.dll.a, without the "lib" that mingw would put before the DLL's name.
set_target_properties(ltpadmin PROPERTIES PREFIX "" IMPORT_PREFIX "lib")

add_library(ltpadmin_static STATIC $<TARGET_OBJECTS:ltpadmin_objects>)
target_include_directories(ltpadmin_static PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
target_link_libraries(ltpadmin_static PUBLIC ws2_32 Threads::Threads)

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
set(LTPADMIN_TEST_LIBRARY ltpadmin_static)
