romhaul_fuzz_target(entities DEPS romhaul_net)
