# Start-up of the program: program start to the first local page's
# DocumentComplete, and peak memory, for the program (with the plug-ins
# built beside it), a bare view of the same engine, and the browser control
# alone.
if(TARGET brevant_shell)
  add_executable(bench_browser_start ${CMAKE_CURRENT_LIST_DIR}/bench_browser_start.cpp)
  target_link_libraries(bench_browser_start PRIVATE brevant_shell)
  target_compile_definitions(bench_browser_start PRIVATE
    BREVANT_PLUGINS_DIR="${BREVANT_OUTPUT_DIR}/Plugins")
  if(TARGET Zentrel)
    add_dependencies(bench_browser_start Zentrel)
  endif()
endif()
