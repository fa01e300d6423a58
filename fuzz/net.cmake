# The socket library's byte-level units: the SOCKS negotiation, line
# assembly and editing, and the routines that read addresses and ports.
find_package(Qt6 REQUIRED COMPONENTS Core)

brevant_add_fuzzer(fuzz_socks ${CMAKE_CURRENT_LIST_DIR}/fuzz_socks.cpp ${repo}/net/Socks.cpp)
target_link_libraries(fuzz_socks PRIVATE Qt6::Core)

brevant_add_fuzzer(fuzz_linebuffer ${CMAKE_CURRENT_LIST_DIR}/fuzz_linebuffer.cpp
  ${repo}/net/LineBuffer.cpp)
target_link_libraries(fuzz_linebuffer PRIVATE Qt6::Core)

brevant_add_fuzzer(fuzz_resolve ${CMAKE_CURRENT_LIST_DIR}/fuzz_resolve.cpp
  ${repo}/net/WSocketResolve.cpp ${repo}/net/WSocketErrors.cpp
  ${repo}/platform/WinSock.cpp ${repo}/platform/WinSockSelect.cpp ${repo}/platform/WinSockClose.cpp
  ${repo}/platform/WinSockLookup.cpp ${repo}/platform/HiddenWindow.cpp ${repo}/platform/HiddenWindow.h)
target_link_libraries(fuzz_resolve PRIVATE Qt6::Core)
set_target_properties(fuzz_resolve PROPERTIES AUTOMOC ON)
