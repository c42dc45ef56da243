# `cmake --build <dir> --target bench_fetch` runs the download benchmark with
# the tool of that build; bench/fetch.sh alone builds its own Release copy.
if(TARGET netupdate-cli)
  add_custom_target(bench_fetch
    COMMAND ${CMAKE_COMMAND} -E env NETUPDATE_CLI=$<TARGET_FILE:netupdate-cli>
            ${CMAKE_CURRENT_LIST_DIR}/fetch.sh
    DEPENDS netupdate-cli
    USES_TERMINAL)
endif()
