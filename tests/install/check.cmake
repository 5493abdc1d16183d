# Installs the built library into a scratch prefix, then configures, builds and runs a consumer
# that finds it with find_package(ltpadmin CONFIG), and compiles it once more through pkg-config.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/prefix
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed")
endif()
# Only the interface is installed: none of the library's own headers.
foreach(internal admin/cycle.h platform/thread_queue.h protocol/catalogue.h
                 protocol/text_scanner.h protocol/framing.h protocol/record_fields.h)
  file(GLOB_RECURSE found ${WORK}/prefix/*/ltpadmin/${internal})
  if(found)
    message(FATAL_ERROR "an internal header is installed: ${found}")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/build
                        -DCMAKE_PREFIX_PATH=${WORK}/prefix -DCMAKE_CXX_COMPILER=${CXX}
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "find_package(ltpadmin CONFIG) failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/build RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the consumer did not build")
endif()
execute_process(COMMAND ${WORK}/build/consumer RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the consumer failed")
endif()
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  file(GLOB_RECURSE pc_file ${WORK}/prefix/*/ltpadmin.pc)
  get_filename_component(pc_dir "${pc_file}" DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs ltpadmin
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "pkg-config does not know ltpadmin")
  endif()
  separate_arguments(flags)
  execute_process(COMMAND ${CXX} ${SOURCE}/main.cpp ${flags} -o ${WORK}/consumer-pc
                  RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "the consumer did not build through pkg-config")
  endif()
  # A multiarch libdir lies a level deeper: the prefix is still found from the file's folder.
  set(PROJECT_VERSION 0)
  include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/PkgConfigFile.cmake)
  ltpadmin_write_pc(${CMAKE_CURRENT_LIST_DIR}/../../cmake/ltpadmin.pc.in
                    ${WORK}/multiarch/lib/x86_64-linux-gnu/pkgconfig/ltpadmin.pc
                    ${WORK}/multiarch lib/x86_64-linux-gnu include)
  set(ENV{PKG_CONFIG_PATH} ${WORK}/multiarch/lib/x86_64-linux-gnu/pkgconfig)
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs ltpadmin
                  OUTPUT_VARIABLE multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(MAKE_DIRECTORY ${WORK}/multiarch/include)
  string(REGEX MATCH "-I([^ ]+)" ignored "${multiarch}")
  get_filename_component(include_dir "${CMAKE_MATCH_1}" REALPATH)
  string(REGEX MATCH "-L([^ ]+)" ignored "${multiarch}")
  get_filename_component(lib_dir "${CMAKE_MATCH_1}" REALPATH)
  get_filename_component(want_include ${WORK}/multiarch/include REALPATH)
  get_filename_component(want_lib ${WORK}/multiarch/lib/x86_64-linux-gnu REALPATH)
  if(NOT include_dir STREQUAL want_include OR NOT lib_dir STREQUAL want_lib)
    message(FATAL_ERROR "a multiarch libdir gives the wrong flags: ${multiarch}")
  endif()
  # The flags leave the standard to the consumer: a C++20 one keeps std::span.
  execute_process(COMMAND ${CXX} -std=c++20 ${SOURCE}/main20.cpp ${flags} -o ${WORK}/consumer-20
                  RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "a C++20 consumer did not build through pkg-config")
  endif()
endif()
