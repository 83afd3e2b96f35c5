# The virtual phone: its command processor fed raw client bytes, and its PDU checks.
mireth_add_fuzzer(fuzz_vphone_at ${CMAKE_CURRENT_LIST_DIR}/fuzz_vphone_at.cpp LIBS mireth_vphone)
mireth_add_fuzzer(fuzz_vphone_pdu ${CMAKE_CURRENT_LIST_DIR}/fuzz_vphone_pdu.cpp LIBS mireth_vphone)
