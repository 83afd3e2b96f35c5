mireth_add_fuzzer(fuzz_pdu fuzz_pdu.cpp LIBS mireth_tethra)
