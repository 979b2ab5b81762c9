# Run at every build (cmake -P), so that the commit in the version line is the
# one the programs were built from, not the one present at configure time.
# Needs SOURCE_DIR, TEMPLATE, OUTPUT and PROJECT_VERSION.
execute_process(COMMAND git rev-parse --short HEAD WORKING_DIRECTORY ${SOURCE_DIR}
                OUTPUT_VARIABLE KAVIRO_COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT KAVIRO_COMMIT)
  set(KAVIRO_COMMIT "local build")
endif()
# configure_file leaves an unchanged header alone: nothing recompiles.
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
