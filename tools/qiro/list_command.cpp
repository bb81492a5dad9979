// qiro list: the sids offered on this machine's bus, one line each as "SID pid PID", in the
// order of the sids; where several processes offer one sid, the one that calls reach comes
// first.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/dde_names.h"
#include "tools/qiro/command_line.h"
#include "tools/qiro/commands.h"

namespace qiro::tool {

namespace {

struct Offer {
    uint32_t sid;
    long pid;
};

// Keeps the registrations that are bus names: "QIRO", a blank and a sid.
void collectOffer(const char* name, long pid, void* context) {
    constexpr const char* kPrefix = "QIRO ";
    if (std::strncmp(name, kPrefix, std::strlen(kPrefix)) != 0) {
        return;
    }
    std::optional<uint32_t> sid = parseNumber(name + std::strlen(kPrefix));
    if (sid) {
        static_cast<std::vector<Offer>*>(context)->push_back(Offer{*sid, pid});
    }
}

}  // namespace

int listCommand(int argc, char** argv) {
    Arguments arguments(argc, argv);
    if (!arguments.finished()) {
        return kUsageError;
    }
    std::vector<Offer> offers;
    if (DdeEnumRegistrations(collectOffer, &offers) == FALSE) {
        std::fprintf(stderr, "qiro: the bus's runtime directory cannot be read\n");
        return 1;
    }
    std::stable_sort(offers.begin(), offers.end(),
                     [](const Offer& a, const Offer& b) { return a.sid < b.sid; });
    for (const Offer& offer : offers) {
        std::printf("%u pid %ld\n", offer.sid, offer.pid);
    }
    return 0;
}

}  // namespace qiro::tool
