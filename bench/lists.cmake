# The message lists at scale: the Inbox page in its window (offscreen) at 1,000,
# 10,000 and 100,000 messages, each figure against a baseline of the same run.
if(TARGET mireth_shell)
  find_package(Qt6 COMPONENTS Test QUIET)
  if(Qt6Test_FOUND)
    mireth_add_bench(list_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/list_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/HeapCounter.cpp
                     LIBS mireth_shell Qt6::Test)
  endif()
endif()
