# The rich text control on the chat's road: coloured lines added run by run.
add_executable(bench_richtext ${CMAKE_CURRENT_LIST_DIR}/bench_richtext.cpp)
target_link_libraries(bench_richtext PRIVATE brevant_richtext benchmark::benchmark)
