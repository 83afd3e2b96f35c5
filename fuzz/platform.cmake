# Fuzz targets of the platform module: the settings-file reader and writer.
mireth_add_fuzzer(fuzz_registry fuzz_registry.cpp LIBS mireth_platform)
