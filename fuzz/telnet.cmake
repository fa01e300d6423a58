brevant_add_fuzzer(fuzz_emulvt ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_emulvt.cpp ${repo}/telnet/EmulvtScreen.cpp ${repo}/telnet/EmulvtParser.cpp)
