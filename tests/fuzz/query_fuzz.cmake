romhaul_fuzz_target(query DEPS romhaul_doc)
