// The process-wide list of all live BusInstances, in the order of their creation. The bus
// callback, which DDE calls without telling which object it belongs to, finds the instance of
// the thread it runs on here. It is the only structure of the bus that threads share.
#pragma once

#include "bus/node_list.h"

namespace qiro {

class BusInstance;

class InstanceRegistry : public LockedNodeList {
  public:
    // The first instance in creation order made by the calling thread, or null.
    BusInstance* findForCurrentThread();
    // Destroys the instances made by thread `threadId`, the last created first.
    void destroyInstancesOf(DWORD threadId);
};

// The registry, made by registryStartup before main runs (or on first use, whichever is first).
InstanceRegistry& instanceRegistry();

// Makes the registry and arranges registryShutdown to run at program exit.
void registryStartup();

// Arranges that the instances of the calling thread that are left when it ends are destroyed
// then (for the thread that calls exit(), before the exit handlers). Called by each instance's
// construction once its DDE instance is made.
void armThreadEndGuard();

// At program exit (runs at most once): destroys the instances that the exiting thread still
// owns, the last created first. Instances of threads that still run are left alone, so that no
// instance is destroyed under its thread. The registry and its lock stay: such threads, and
// objects destroyed later in the exit, may still take it.
void registryShutdown();

}  // namespace qiro
