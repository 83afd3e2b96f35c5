# The phone library against the virtual phone: fetching a full phone at 115200 baud
# against the wire time of the bytes it takes, and the commands set-up costs.
if(TARGET mireth_vphone)
  mireth_add_bench(fetch_bench SOURCES fetch_bench.cpp LIBS mireth_tethra mireth_vphone)
endif()
