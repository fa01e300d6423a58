# The terminal's screen model and interpreter against libvterm on the same
# generated host output.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VTERM REQUIRED IMPORTED_TARGET vterm)
add_executable(bench_emulvt ${CMAKE_CURRENT_LIST_DIR}/bench_emulvt.cpp)
target_include_directories(bench_emulvt PRIVATE ${CMAKE_SOURCE_DIR}/tests/telnet)
target_link_libraries(bench_emulvt PRIVATE brevant_telnet PkgConfig::VTERM benchmark::benchmark)
