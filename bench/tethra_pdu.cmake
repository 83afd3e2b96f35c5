mireth_add_bench(pdu_bench SOURCES pdu_bench.cpp LIBS mireth_tethra)
