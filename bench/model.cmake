# Saving and loading the store files against raw file I/O of the same bytes.
mireth_add_bench(store_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/store_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/HeapCounter.cpp
                 LIBS mireth_model)
