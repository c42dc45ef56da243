# The reconciliation alone in a process of its own, without the other stages
# of netupdate-cli, so bench/reconcile.sh times what isql-fb is timed on.
if(TARGET netupdate_db AND TARGET netupdate_parse)
  add_executable(reconcile_bench ${CMAKE_CURRENT_LIST_DIR}/reconcile_bench.cpp)
  target_link_libraries(reconcile_bench PRIVATE netupdate_db netupdate_parse netupdate_warnings)
endif()
