# Start-up of a browser window: program start to the first local page's
# DocumentComplete, and peak memory, for our control and for a bare view of
# the same engine.
if(TARGET brevant_shell_browser)
  add_executable(bench_browser_start ${CMAKE_CURRENT_LIST_DIR}/bench_browser_start.cpp)
  target_link_libraries(bench_browser_start PRIVATE brevant_shell_browser)
endif()
