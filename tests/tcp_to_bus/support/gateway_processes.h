// Starting the gateway programs for a test: on a port of the test's own and with the bus of the
// test process.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace qiro::testing {

// The environment that puts a program on `port` and on the test's bus.
ChildProcess::Environment gatewayEnvironment(uint16_t port);

// Starts dtcpqiro on `port` and waits until it accepts connections; null when it never does.
std::unique_ptr<ChildProcess> startServer(uint16_t port,
                                          const std::vector<std::string>& arguments = {});

}  // namespace qiro::testing
