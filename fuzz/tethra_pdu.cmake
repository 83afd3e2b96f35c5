mireth_add_fuzzer(fuzz_pdu fuzz_pdu.cpp LIBS mireth_tethra)
mireth_add_mutator_check(fuzz_pdu fuzz_pdu.cpp CHECK MIRETH_CHECK_PDU LEAST 75 LIBS mireth_tethra)
