romhaul_fuzz_target(date_text DEPS romhaul_doc)
