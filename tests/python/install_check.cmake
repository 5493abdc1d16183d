# Installs the package (its install component) into a scratch prefix and checks that the Python package lands in one of the
# folders python3 searches under that prefix, whole (stubs and marker), and imports from there.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/prefix --component python
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed")
endif()
set(site ${WORK}/prefix/${DIR})
foreach(file __init__.py errors.py _ltpadmin.pyi py.typed)
  if(NOT EXISTS ${site}/ltpadmin/${file})
    message(FATAL_ERROR "not installed: ${site}/ltpadmin/${file}")
  endif()
endforeach()
execute_process(COMMAND ${PYTHON} -c
  "import site, sys; sys.exit(0 if sys.argv[2] in site.getsitepackages([sys.argv[1]]) else 1)"
  ${WORK}/prefix ${site} RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "python3 does not search ${site} under the prefix")
endif()
set(ENV{PYTHONPATH} ${site})
execute_process(COMMAND ${PYTHON} -c
  "import sys, ltpadmin; sys.exit(0 if ltpadmin.__file__.startswith(sys.argv[1]) and ltpadmin.User(user_id='a').user_id == 'a' else 1)"
  ${site} RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the installed package does not import")
endif()
