# Fuzz targets of the command-line program: the terminal-safe form of message texts.
mireth_add_fuzzer(fuzz_terminal_text fuzz_terminal_text.cpp LIBS mireth_platform)
