# Runs one fuzz target for SECONDS on a working corpus seeded from SEEDS; any crash, leak, hang
# (a single input taking over 10 s) or sanitizer report fails the run.
file(MAKE_DIRECTORY ${WORK})
if(EXISTS ${SEEDS})
  file(GLOB seeds ${SEEDS}/*)
  if(seeds)
    file(COPY ${seeds} DESTINATION ${WORK})
  endif()
endif()
get_filename_component(dir ${WORK} DIRECTORY)
execute_process(
  COMMAND ${TARGET} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048 -max_len=65536
          -artifact_prefix=${dir}/ -print_final_stats=1 ${WORK}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${TARGET} failed (exit ${rc}); the input is in ${dir}")
endif()
