romhaul_fuzz_target(url_split DEPS romhaul_net)
