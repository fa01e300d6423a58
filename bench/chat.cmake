# DCC SEND throughput of the chat plug-in's transfer window over loopback,
# against POSIX sockets with the same block-and-acknowledge pattern.
add_executable(bench_dcc ${CMAKE_CURRENT_LIST_DIR}/bench_dcc.cpp)
target_link_libraries(bench_dcc PRIVATE brevant_chat_forms benchmark::benchmark)
# A channel flood through the real plug-in in the program's main window,
# against irssi in tmux on the same kind of local server.
if(TARGET brevant_shell)
  add_executable(bench_chatflood ${CMAKE_CURRENT_LIST_DIR}/bench_chatflood.cpp)
  target_link_libraries(bench_chatflood PRIVATE brevant_shell benchmark::benchmark)
  target_compile_definitions(bench_chatflood PRIVATE
    BREVANT_PLUGINS_DIR="${BREVANT_OUTPUT_DIR}/Plugins")
  if(TARGET Zentrel)
    add_dependencies(bench_chatflood Zentrel)
  endif()
endif()
