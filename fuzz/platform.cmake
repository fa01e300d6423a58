# The platform layer's file formats and text: the registry file, line files
# and code page 874.
find_package(Qt6 REQUIRED COMPONENTS Core)

brevant_add_fuzzer(fuzz_registry ${CMAKE_CURRENT_LIST_DIR}/fuzz_registry.cpp
  ${repo}/platform/Registry.cpp ${repo}/platform/AtomicFile.cpp)
target_link_libraries(fuzz_registry PRIVATE Qt6::Core)

brevant_add_fuzzer(fuzz_linefile ${CMAKE_CURRENT_LIST_DIR}/fuzz_linefile.cpp
  ${repo}/platform/LineFile.cpp ${repo}/platform/AtomicFile.cpp ${repo}/platform/Cp874.cpp)
target_link_libraries(fuzz_linefile PRIVATE Qt6::Core)

brevant_add_fuzzer(fuzz_cp874 ${CMAKE_CURRENT_LIST_DIR}/fuzz_cp874.cpp ${repo}/platform/Cp874.cpp)
target_link_libraries(fuzz_cp874 PRIVATE Qt6::Core)
