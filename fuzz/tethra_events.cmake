# The readers of the phone's announcements, phonebooks and the sent-message journal.
mireth_add_fuzzer(fuzz_atevents fuzz_atevents.cpp LIBS mireth_tethra)
