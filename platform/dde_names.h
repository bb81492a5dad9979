// The live name registrations of the DDE transport, for tools that show what the bus offers.
#pragma once

#include "platform/win32_types.h"

// Called once per live registration: the registered name and the id of the process that
// registered it.
using DdeRegistrationVisitor = void (*)(const char* name, long pid, void* context);

// Visits every live registration of the user's runtime directory: names in byte order, the
// registrations of one name oldest first (the one DdeConnect would reach comes first). A
// registration whose owner is gone is removed instead of visited. Liveness is tested by
// connecting to the owner's socket, which the owner sees as a connection that closes at once.
// FALSE when the runtime directory cannot be had or read.
BOOL DdeEnumRegistrations(DdeRegistrationVisitor visit, void* context);
