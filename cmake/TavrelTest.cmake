include(GoogleTest)

# tavrel_add_test(NAME SOURCES ... LIBS ... [ENV var=value ...] [TIMEOUT s] [WRAPPER cmd ...])
# One ctest entry per test program; WRAPPER runs it under another program (umockdev-wrapper,
# tests/with-xvfb.sh) with the given environment.
function(tavrel_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV;WRAPPER" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  # The windows' tests reuse the precompiled header with Qt's widgets, the others the one with Qt
  # Core.
  set(kind test-core)
  foreach(library tavrel_ui tavrel_widgets Qt6::Widgets)
    if(library IN_LIST T_LIBS)
      set(kind test-widgets)
    endif()
  endforeach()
  tavrel_use_pch(${name} ${kind})
  add_test(NAME ${name} COMMAND ${T_WRAPPER} $<TARGET_FILE:${name}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  tavrel_test_environment(${name} ${T_TIMEOUT} ${T_ENV})
endfunction()

# The environment and time-out of a test registered with add_test directly.
function(tavrel_test_environment name timeout)
  # A test's own variables come last, so that they win over these defaults. The C locale keeps
  # the texts as they are written in the code, whatever language the machine runs in.
  set(env "QT_QPA_PLATFORM=offscreen" "LC_ALL=C.UTF-8" "LANG=C.UTF-8")
  if(TAVREL_SANITIZE)
    list(APPEND env "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1"
                    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
                    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  list(APPEND env ${ARGN})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout} ENVIRONMENT "${env}")
endfunction()
