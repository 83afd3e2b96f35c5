# The store-file reader (both record classes) with the archive below it.
mireth_add_fuzzer(fuzz_archive ${CMAKE_CURRENT_LIST_DIR}/fuzz_archive.cpp LIBS mireth_model)
# The JSON line reader of `mireth store write`, for both record classes.
mireth_add_fuzzer(fuzz_record_json ${CMAKE_CURRENT_LIST_DIR}/fuzz_record_json.cpp LIBS mireth_model)
mireth_add_mutator_check(fuzz_archive ${CMAKE_CURRENT_LIST_DIR}/fuzz_archive.cpp CHECK MIRETH_CHECK_ARCHIVE LEAST 65
  LIBS mireth_model)
