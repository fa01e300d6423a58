# The chat plug-in's core: everything an IRC network or a DCC peer sends.
# Gui for the toolkit's colour model (toolkit/Graphics.h, constants only).
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui)

set(chat ${repo}/chat)
set(chat_session_sources
  ${chat}/ChannelList.cpp ${chat}/ColorCodes.cpp ${chat}/CommandLine.cpp ${chat}/Ctcp.cpp
  ${chat}/DccFiles.cpp ${chat}/DccOffer.cpp ${chat}/DccTransfer.cpp ${chat}/IrcLine.cpp
  ${chat}/IrcText.cpp ${chat}/NickList.cpp ${chat}/PluginAddress.cpp ${chat}/RateLimiter.cpp
  ${chat}/ServerSession.cpp ${chat}/WindowNames.cpp ${chat}/ChatFiles.cpp
  ${repo}/platform/Cp874.cpp ${repo}/platform/LineFile.cpp ${repo}/platform/AtomicFile.cpp
  ${repo}/platform/ProgramFolder.cpp ${repo}/platform/FileNames.cpp)

# Received bytes cut into lines and handled by a server window's session.
brevant_add_fuzzer(fuzz_ircline ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_ircline.cpp ${chat_session_sources})
target_link_libraries(fuzz_ircline PRIVATE Qt6::Core Qt6::Gui)

# The arguments of a CTCP DCC request, and the names and lines made from them;
# the same bytes as a peer's acknowledgements.
brevant_add_fuzzer(fuzz_dccoffer ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_dccoffer.cpp
  ${chat}/DccOffer.cpp ${chat}/DccFiles.cpp ${chat}/DccTransfer.cpp ${chat}/Ctcp.cpp ${chat}/IrcText.cpp
  ${repo}/platform/Cp874.cpp)
target_link_libraries(fuzz_dccoffer PRIVATE Qt6::Core Qt6::Gui)

# Colour-coded lines: the decoder's runs, and encoding them back.
brevant_add_fuzzer(fuzz_colorcodes ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_colorcodes.cpp
  ${chat}/ColorCodes.cpp ${repo}/platform/Cp874.cpp)
target_link_libraries(fuzz_colorcodes PRIVATE Qt6::Core Qt6::Gui)
