# Writes the manual page of talvane-chain, gzipped: the program makes it from the same command table
# as its help, so that it cannot drift from what the commands take.
#   cmake -DGZIP=... -DPROGRAM=... -DOUTPUT=talvane-chain.1 -P manpage.cmake
# (writes OUTPUT.gz).

# The program may be built with the sanitizers; Qt's allocations that live until exit are no fault.
set(ENV{ASAN_OPTIONS} detect_leaks=0)
execute_process(COMMAND ${PROGRAM} help --manual OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "${PROGRAM} help --manual failed: ${result}")
endif()

execute_process(COMMAND ${GZIP} -9nf ${OUTPUT} RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "gzip failed on ${OUTPUT}: ${result}")
endif()
