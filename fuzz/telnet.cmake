# The terminal's interpreter with its screen, and the telnet receive side.
brevant_add_fuzzer(fuzz_emulvt ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_emulvt.cpp
  ${repo}/telnet/EmulvtScreen.cpp ${repo}/telnet/EmulvtParser.cpp)
brevant_add_fuzzer(fuzz_tncnx ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_tncnx.cpp
  ${repo}/telnet/TnCnxOptions.cpp)
