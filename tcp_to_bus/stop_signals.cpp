#include "tcp_to_bus/stop_signals.h"

#include <pthread.h>

namespace qiro {

void onStopSignals(void (*handler)(int), bool restartInterruptedCalls) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = restartInterruptedCalls ? SA_RESTART : 0;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

StopSignalsBlocked::StopSignalsBlocked() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous_);
}

StopSignalsBlocked::~StopSignalsBlocked() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace qiro
