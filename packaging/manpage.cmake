# Writes the manual page of talvane-chain from what it prints for --help and --version, gzipped:
#   cmake -DHELP2MAN=... -DGZIP=... -DPROGRAM=... -DOUTPUT=talvane-chain.1 -P manpage.cmake
# (writes OUTPUT.gz).

# The program may be built with the sanitizers; Qt's allocations that live until exit are no fault.
set(ENV{ASAN_OPTIONS} detect_leaks=0)
execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1
    "--name=create, verify, show and export digital-cinema certificate chains"
    --output=${OUTPUT} ${PROGRAM}
  RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "help2man failed on ${PROGRAM}: ${result}")
endif()

# help2man fills the help's indented usage forms into one paragraph: give each its own line, and
# let a form that the help wraps go on where it broke.
file(READ ${OUTPUT} page)
string(REGEX REPLACE "\n(talvane\\\\-chain [^\n]*)" "\n\\1\n.br" page "${page}")
string(REGEX REPLACE "\n\\.br\n\\.IP\n\\[" "\n[" page "${page}")
file(WRITE ${OUTPUT} "${page}")

execute_process(COMMAND ${GZIP} -9nf ${OUTPUT} RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "gzip failed on ${OUTPUT}: ${result}")
endif()
