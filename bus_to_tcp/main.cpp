// dqirotcp, the bus-to-TCP gateway: offers one service on this machine's bus and forwards every
// request made to it to the dtcpqiro of another host (port 3001, or QIRO_GATEWAY_PORT).
//
//   dqirotcp <sid> <type> <host> [<remote sid>]
//
// One thread: it makes the BusInstance, registers the TcpForwardService and runs the message
// loop, in which every forwarded request is served. SIGINT and SIGTERM post WM_QUIT to that
// thread, so the loop ends, the instance is deleted and the service's name unregistered.
#include <csignal>
#include <cstdio>
#include <new>

#include "bus/bus_instance.h"
#include "bus_to_tcp/tcp_forward_service.h"
#include "platform/win32_messages.h"
#include "platform/win32_threads.h"
#include "tcp_to_bus/command_line_number.h"
#include "tcp_to_bus/stop_signals.h"

namespace {

DWORD mainThreadId = 0;

void onStopSignal(int) {
    PostThreadMessageA(mainThreadId, WM_QUIT, 0, 0);
}

void serve(int argc, char** argv) {
    qiro::BusInstance* instance = qiro::createInstance();
    if (instance == nullptr)
        return;
    const uint32_t sid = qiro::parseCommandLineNumber(argv[1]);
    const uint32_t remoteSid = argc > 4 ? qiro::parseCommandLineNumber(argv[4]) : sid;
    auto* service = new (std::nothrow)
        qiro::TcpForwardService(sid, qiro::parseCommandLineNumber(argv[2]), argv[3], remoteSid);
    if (service != nullptr && instance->addService(service, nullptr)) {
        mainThreadId = GetCurrentThreadId();
        qiro::onStopSignals(onStopSignal, true);
        instance->run();
    } else {
        delete service;
    }
    delete instance;
}

}  // namespace

int main(int argc, char** argv) {
    std::puts("QIRO to TCP/IP translator v1.00");
    if (argc < 4)
        return std::puts("Use: dqirotcp <sid> <type> <host> [<remote sid>]") < 0 ? 1 : 0;
    std::fflush(stdout);

    WSADATA data;
    if (const int error = WSAStartup(MAKEWORD(1, 1), &data); error != 0)
        return error;
    serve(argc, argv);
    return WSACleanup();
}
