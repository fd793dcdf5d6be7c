# Formats the man page with every groff warning turned on; any warning, like
# a failure, fails the test. Skipped, with a message, where groff is absent.
#   cmake -DPAGE=man/grizzen.1 -P lint.cmake
find_program(GROFF groff)
if(NOT GROFF)
  message("SKIPPED: groff not found (Debian package groff-base); the man page is not checked")
  return()
endif()
execute_process(
  COMMAND ${GROFF} -ww -z -man ${PAGE}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
if(NOT result EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
  message(FATAL_ERROR "groff -ww -z -man ${PAGE} (status ${result}):\n${out}${err}")
endif()
