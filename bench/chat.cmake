# DCC SEND throughput of the chat plug-in's transfer window over loopback,
# against POSIX sockets with the same block-and-acknowledge pattern.
add_executable(bench_dcc ${CMAKE_CURRENT_LIST_DIR}/bench_dcc.cpp)
target_link_libraries(bench_dcc PRIVATE brevant_chat_forms benchmark::benchmark)
