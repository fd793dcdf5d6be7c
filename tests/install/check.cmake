# Installs the build into a fresh prefix and checks what a user gets there:
# the program, which runs and prints its help, and the man page.
#   cmake -DBUILD_DIR=build -DPREFIX=dir -DCONFIG=Release -DPROGRAM_NAME=grizzen
#         -DPAGE=man/grizzen.1 -P check.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(
  COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} --config ${CONFIG}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE out
  ERROR_VARIABLE out)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (status ${result}):\n${out}")
endif()

set(program ${PREFIX}/bin/${PROGRAM_NAME})
if(NOT EXISTS ${program})
  message(FATAL_ERROR "not installed: ${program}\n${out}")
endif()
execute_process(
  COMMAND ${program} -h
  RESULT_VARIABLE result
  OUTPUT_VARIABLE help)
if(NOT result EQUAL 0 OR NOT help MATCHES "^grizzen version ")
  message(FATAL_ERROR "${program} -h gave status ${result} and:\n${help}")
endif()

set(page ${PREFIX}/share/man/man1/grizzen.1)
if(NOT EXISTS ${page})
  message(FATAL_ERROR "not installed: ${page}\n${out}")
endif()
file(READ ${page} installed)
file(READ ${PAGE} source)
if(NOT installed STREQUAL source)
  message(FATAL_ERROR "${page} differs from ${PAGE}")
endif()
file(REMOVE_RECURSE ${PREFIX})
