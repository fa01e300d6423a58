# The rich text control's RTF reader and writer, with the code page they
# decode; Qt Core only.
find_package(Qt6 REQUIRED COMPONENTS Core)
brevant_add_fuzzer(fuzz_rtf ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_rtf.cpp
  ${repo}/richtext/RxRtf.cpp ${repo}/richtext/RxRtfWrite.cpp ${repo}/platform/Cp874.cpp)
target_link_libraries(fuzz_rtf PRIVATE Qt6::Core)

# The rich text control's link detector, on short and very long lines.
brevant_add_fuzzer(fuzz_urldetect ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_urldetect.cpp
  ${repo}/richtext/RxUrlDetect.cpp)
target_link_libraries(fuzz_urldetect PRIVATE Qt6::Core)
