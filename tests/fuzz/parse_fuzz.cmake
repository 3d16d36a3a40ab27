romhaul_fuzz_target(parse DEPS romhaul_doc)
