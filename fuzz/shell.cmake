# The browser's own readers of hostile text: its list files read as link
# pairs and as the favorites tree, with the file names of the groups' link
# files; and the split of a "telnet:" address.
find_package(Qt6 REQUIRED COMPONENTS Core Gui)

brevant_add_fuzzer(fuzz_shelldata ${CMAKE_CURRENT_LIST_DIR}/fuzz_shelldata.cpp
  ${repo}/shell/data/ShellData.cpp ${repo}/platform/LineFile.cpp ${repo}/platform/AtomicFile.cpp
  ${repo}/platform/Cp874.cpp ${repo}/platform/FileNames.cpp ${repo}/platform/ProgramFolder.cpp)
target_link_libraries(fuzz_shelldata PRIVATE Qt6::Core Qt6::Gui)

brevant_add_fuzzer(fuzz_telnetaddress ${CMAKE_CURRENT_LIST_DIR}/fuzz_telnetaddress.cpp
  ${repo}/shell/data/MainWindowRules.cpp)
target_link_libraries(fuzz_telnetaddress PRIVATE Qt6::Core)
