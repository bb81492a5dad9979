#include "tcp_to_bus/connection_thread.h"

#include "bus/bus_instance.h"
#include "tcp_to_bus/exchange.h"
#include "tcp_to_bus/live_connections.h"
#include "tcp_to_bus/socket_channel.h"
#include "tcp_to_bus/stop_signals.h"

namespace qiro {
namespace {

uint32_t configuredBufferLimit = 0;

class BusCallTarget final : public CallTarget {
  public:
    explicit BusCallTarget(BusInstance& instance) : instance_(instance) {}

    CallStatus call(uint32_t sid, uint32_t* type, uint32_t code, BufferPiece* requestPieces,
                    uint32_t requestCount, BufferPiece* replyPieces, uint32_t replyCount,
                    uint32_t timeout) override {
        return instance_.call(sid, type, code, requestPieces, requestCount, replyPieces, replyCount,
                              timeout);
    }

  private:
    BusInstance& instance_;
};

void endConnection(SOCKET socket) {
    liveConnections().remove(socket);
    closesocket(socket);
}

}  // namespace

void setBufferLimit(uint32_t limit) {
    configuredBufferLimit = limit;
}
uint32_t bufferLimit() {
    return configuredBufferLimit;
}

DWORD connectionThread(LPVOID parameter) {
    const auto socket = SOCKET(reinterpret_cast<intptr_t>(parameter));
    BusInstance* instance = createInstance();
    if (instance != nullptr) {
        BusCallTarget bus(*instance);
        SocketChannel channel(socket);
        serveConnection(channel, bus, configuredBufferLimit);
        delete instance;
    }
    endConnection(socket);
    return 0;
}

bool startConnectionThread(SOCKET socket) {
    liveConnections().add(socket);
    // Stop signals are for the listener's thread, which alone acts on them.
    const StopSignalsBlocked onlyForTheListener;
    // Stack size 0: the platform's modest default, so thousands of idle connections stay cheap.
    if (CreateThread(nullptr, 0, connectionThread, reinterpret_cast<LPVOID>(intptr_t(socket)), 0,
                     nullptr) != nullptr)
        return true;
    endConnection(socket);
    return false;
}

}  // namespace qiro
