# The command-line program's watcher, idle on the virtual phone: processor time an
# hour against its budget.
if(TARGET mireth AND TARGET mireth_vphone)
  mireth_add_bench(watch_bench SOURCES watch_bench.cpp LIBS mireth_vphone)
  target_compile_definitions(watch_bench PRIVATE MIRETH_CLI_PATH="$<TARGET_FILE:mireth>")
  add_dependencies(watch_bench mireth)
endif()
