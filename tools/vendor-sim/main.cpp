// vendor-sim: serves the five vendor services on loopback until interrupted. It prints the
// environment that points Romhaul at it, one NAME=value line per service, then "# ready".
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/vendor-sim/simulator.h"

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: vendor-sim [--fixtures DIR] [--address ADDR] [--port SERVICE=PORT]...\n"
                 "                  [--iphone-rows N] [--huawei-ignores-curpage] [--log]\n"
                 "SERVICE is huawei, zte, coolpad, lg or iphone; ports default to ephemeral.\n");
}

bool parsePort(const std::string& assignment, vendorsim::Options& options) {
    const std::size_t eq = assignment.find('=');
    if (eq == std::string::npos) return false;
    const std::string name = assignment.substr(0, eq);
    const int port = std::atoi(assignment.c_str() + eq + 1);
    if (port <= 0 || port > 65535) return false;
    for (int i = 0; i < 5; ++i) {
        if (name == vendorsim::serviceName(static_cast<VendorService>(i))) {
            options.ports[i] = port;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    vendorsim::Options options;
    int iphoneRows = 0;
    bool ignoresCurPage = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--fixtures" && hasValue) {
            options.fixtureDir = argv[++i];
        } else if (arg == "--address" && hasValue) {
            options.address = argv[++i];
        } else if (arg == "--port" && hasValue) {
            if (!parsePort(argv[++i], options)) {
                usage();
                return 2;
            }
        } else if (arg == "--iphone-rows" && hasValue) {
            iphoneRows = std::atoi(argv[++i]);
        } else if (arg == "--huawei-ignores-curpage") {
            ignoresCurPage = true;
        } else if (arg == "--log") {
            options.echoRequests = true;
        } else {
            usage();
            return 2;
        }
    }

    // Block the stop signals before any server thread exists, so that only sigwait below
    // receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    vendorsim::Simulator sim(options);
    if (!sim.start()) {
        std::fprintf(stderr, "vendor-sim: %s\n", sim.error().c_str());
        return 1;
    }
    sim.setIphoneBulkRows(iphoneRows);
    sim.setHuaweiIgnoresCurPage(ignoresCurPage);
    for (const auto& [name, value] : sim.environment()) {
        std::printf("%s=%s\n", name.c_str(), value.c_str());
    }
    std::printf("# ready\n");
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    sim.stop();
    return 0;
}
