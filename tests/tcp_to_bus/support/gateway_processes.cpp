#include "support/gateway_processes.h"

#include "support/loopback.h"
#include "support/test_service.h"

namespace qiro::testing {

ChildProcess::Environment gatewayEnvironment(uint16_t port) {
    return {{"QIRO_GATEWAY_PORT", std::to_string(port)}, {"QIRO_RUNTIME_DIR", testRuntimeDir()}};
}

std::unique_ptr<ChildProcess> startServer(uint16_t port,
                                          const std::vector<std::string>& arguments) {
    auto server = std::make_unique<ChildProcess>(programPath("dtcpqiro"), arguments,
                                                 gatewayEnvironment(port));
    if (!waitUntilListening(port))
        return nullptr;
    return server;
}

}  // namespace qiro::testing
