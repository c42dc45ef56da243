# The prepared stored-price lookup, run thousands of times (bench/db.sh).
if(TARGET netupdate_db)
  add_executable(db_bench ${CMAKE_CURRENT_LIST_DIR}/db_bench.cpp)
  target_link_libraries(db_bench PRIVATE netupdate_db netupdate_warnings)
endif()
