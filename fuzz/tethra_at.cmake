# The phone library's AT reply parser and the readers of reply lines.
mireth_add_fuzzer(fuzz_atreply fuzz_atreply.cpp LIBS mireth_tethra)
