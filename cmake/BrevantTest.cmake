# brevant_add_test(<name> SOURCES <files...> LIBS <targets...> [ENGINE] [LABELS <labels...>])
# Builds one Qt Test executable and registers it with ctest, offscreen.
# ENGINE marks a test that starts Qt WebEngine: it gets the sanitizer
# settings that the engine's own code needs (never our code).
function(brevant_add_test name)
  cmake_parse_arguments(T "ENGINE" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/common)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set(env
    "QT_QPA_PLATFORM=offscreen"
    "BREVANT_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    "BREVANT_BIN_DIR=${BREVANT_OUTPUT_DIR}"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  if(T_ENGINE)
    list(APPEND env "ASAN_OPTIONS=new_delete_type_mismatch=0:detect_leaks=1" "QTWEBENGINE_DISABLE_SANDBOX=1")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()
