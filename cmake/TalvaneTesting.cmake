# One QtTest executable per test area. Every test runs without a display, with a fixed
# language, in a working directory of its own (the program keeps its trace and log files
# in the working directory, so tests must never share one).
#
#   talvane_add_test(NAME tst_x SOURCES a.cpp ... LIBS lib... [LABELS l...] [ENVIRONMENT K=V...])
function(talvane_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)

  set(workdir ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}.work)
  file(MAKE_DIRECTORY ${workdir})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${workdir})

  set(env
    QT_QPA_PLATFORM=offscreen
    LANG=C.UTF-8
    LC_ALL=C.UTF-8
    TZ=Europe/Berlin
    ${T_ENVIRONMENT})
  if(TALVANE_SANITIZE)
    list(APPEND env
      "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
      "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  # QtTest's own watchdog ends a test function after 300 s; a slow (sanitized, loaded) machine
  # may need the whole time the test is given, so the watchdog fires only just before ctest's.
  math(EXPR function_timeout_ms "(${T_TIMEOUT} - 5) * 1000")
  list(APPEND env QTEST_FUNCTION_TIMEOUT=${function_timeout_ms})
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "${env}"
    LABELS "${T_LABELS}"
    TIMEOUT ${T_TIMEOUT})
endfunction()
