# Reading the settings file with many keys against reading its lines.
mireth_add_bench(settings_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_bench.cpp LIBS mireth_platform)
