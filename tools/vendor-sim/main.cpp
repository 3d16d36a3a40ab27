// vendor-sim: serves the five vendor services on loopback until interrupted. It prints the
// environment that points Romhaul at it as shell lines (export NAME='value'), one per
// service and one with the inputs its data knows (ROMHAUL_DEMO_INPUTS, which the window
// offers in its input boxes), then "# ready".
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/vendor-sim/simulator.h"

namespace {

void usage(std::FILE* out) {
    std::fprintf(
        out,
        "usage: vendor-sim [--fixtures DIR] [--address ADDR] [--port SERVICE=PORT]...\n"
        "                  [--iphone-rows N] [--huawei-ignores-curpage] [--log] [--demo]\n"
        "SERVICE is huawei, zte, coolpad, lg or iphone; ports default to ephemeral.\n"
        "--demo points the download addresses at the simulator, which serves their bytes.\n"
        "Prints the export lines that point Romhaul at it (paste them into a shell),\n"
        "then serves until interrupted.\n");
}

// A value as one single-quoted shell word.
std::string shellQuoted(const std::string& value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// The inputs that find something, a few per page: "huawei=P6,Mate 7;zte=U880;...".
std::string knownInputs(const vendorsim::Fixtures& f) {
    constexpr std::size_t kPerPage = 8;
    const auto join = [](const char* page, const std::vector<std::string>& inputs) {
        std::string out = page;
        out += '=';
        std::vector<std::string> seen;
        for (const std::string& input : inputs) {
            if (seen.size() == kPerPage) break;
            if (std::find(seen.begin(), seen.end(), input) != seen.end()) continue;
            if (!seen.empty()) out += ',';
            seen.push_back(input);
            for (char c : input) out += c == ',' || c == ';' || c == '\'' ? ' ' : c;
        }
        return out;
    };
    std::vector<std::string> huawei, zte, coolpad, lg;
    for (const auto& p : f.huawei)
        if (!p.keywords.empty() && !p.files.empty()) huawei.push_back(p.keywords.front());
    for (const auto& s : f.zte)
        for (const auto& m : s.models)
            if (!m.files.empty()) zte.push_back(m.name);
    for (const auto& k : f.coolpadKeywords)
        if (!k.results.empty() && !k.large) coolpad.push_back(k.keyword);
    for (const auto& l : f.lg)
        if (!l.literal) lg.push_back(l.esn);
    return join("huawei", huawei) + ';' + join("zte", zte) + ';' + join("coolpad", coolpad) + ';' +
           join("lg", lg);
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
                usage(stderr);
                return 2;
            }
        } else if (arg == "--iphone-rows" && hasValue) {
            iphoneRows = std::atoi(argv[++i]);
        } else if (arg == "--huawei-ignores-curpage") {
            ignoresCurPage = true;
        } else if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--log") {
            options.echoRequests = true;
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else {
            usage(stderr);
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
        std::printf("export %s=%s\n", name.c_str(), shellQuoted(value).c_str());
    }
    std::printf("export ROMHAUL_DEMO_INPUTS=%s\n",
                shellQuoted(knownInputs(sim.fixtures())).c_str());
    std::printf("# ready\n");
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    sim.stop();
    return 0;
}
