# A bare driver around Feldolgoz, so the benchmark times the parser alone and
# does not depend on the other stages being built.
if(TARGET netupdate_parse)
  add_executable(parse_bench ${CMAKE_CURRENT_LIST_DIR}/parse_bench.cpp)
  target_link_libraries(parse_bench PRIVATE netupdate_parse netupdate_warnings)
endif()
