include(GoogleTest)

# Every test is registered here, the test programs and the commands alike.
#
#   tavrel_add_test(NAME SOURCES ... [LIBS ...]   a test program built from these sources
#                   | COMMAND ...                 or a command run as it is
#                   [ENV var=value ...] [TIMEOUT s] [WRAPPER cmd ...] [RESOURCE_LOCK name])
#
# A test program runs GoogleTest's main unless one of its sources brings a main of its own (the
# tests that need a Qt application or an emulator set up first). WRAPPER runs the program under
# another one (umockdev-wrapper, tests/with-xvfb.sh). RESOURCE_LOCK keeps tests that share
# something (the user's "/TestHook.<uid>") from running together. The time-out is 120 s unless
# given.
function(tavrel_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT;RESOURCE_LOCK" "SOURCES;COMMAND;LIBS;ENV;WRAPPER" ${ARGN})
  if(T_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "tavrel_add_test(${name}): unknown arguments ${T_UNPARSED_ARGUMENTS}")
  endif()
  if(T_SOURCES AND T_COMMAND OR NOT T_SOURCES AND NOT T_COMMAND)
    message(FATAL_ERROR "tavrel_add_test(${name}): give either SOURCES or COMMAND")
  endif()

  if(T_SOURCES)
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    # The windows' tests reuse the precompiled header with Qt's widgets, the others the one with
    # Qt Core.
    set(kind test-core)
    foreach(library tavrel_ui tavrel_widgets Qt6::Widgets)
      if(library IN_LIST T_LIBS)
        set(kind test-widgets)
      endif()
    endforeach()
    tavrel_use_pch(${name} ${kind})
    add_test(NAME ${name} COMMAND ${T_WRAPPER} $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${T_WRAPPER} ${T_COMMAND})
  endif()

  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # A test's own variables come last, so that they win over these defaults. The C locale keeps
  # the texts as they are written in the code, whatever language the machine runs in.
  # Each test has a runtime folder of its own: the Tavrel programs of one test share their
  # devices' write locks and change notices there, and emulated devices of tests that run side
  # by side may have the same names.
  set(runtime "${CMAKE_BINARY_DIR}/test-runtime/${name}")
  file(MAKE_DIRECTORY "${runtime}")
  set(env "QT_QPA_PLATFORM=offscreen" "LC_ALL=C.UTF-8" "LANG=C.UTF-8" "XDG_RUNTIME_DIR=${runtime}")
  if(TAVREL_SANITIZE)
    list(APPEND env "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1"
                    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
                    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  list(APPEND env ${T_ENV})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
  if(T_RESOURCE_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
endfunction()
