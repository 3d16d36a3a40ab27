# The reader as it was (tests/oracle) against the reader of document/.
add_library(romhaul_reader_oracle STATIC ${CMAKE_SOURCE_DIR}/tests/oracle/reader_oracle.cpp
            ${CMAKE_SOURCE_DIR}/tests/oracle/tree_dump.cpp)
target_include_directories(romhaul_reader_oracle PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(romhaul_reader_oracle PUBLIC romhaul_document)
romhaul_warnings(romhaul_reader_oracle)
romhaul_fuzz_target(parse_diff DEPS romhaul_reader_oracle romhaul_document)
# The parse target's corpus, read by both readers too.
add_test(NAME fuzz_replay.parse_diff_on_parse_corpus
         COMMAND parse_diff_replay ${CMAKE_CURRENT_SOURCE_DIR}/corpus/parse)
set_tests_properties(fuzz_replay.parse_diff_on_parse_corpus PROPERTIES LABELS unit TIMEOUT 600)
