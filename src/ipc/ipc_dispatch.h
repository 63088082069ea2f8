#pragma once

#include "ipc/ipc_application.h"
#include "ipc/ipc_instance.h"
#include "ipc/ipc_messages.h"

namespace vigilo {

// Carries out one decoded request against the application and builds its
// reply; `instance` answers the requests about the process itself. Main
// thread only.
IPCResponse dispatchIPCRequest(const IPCRequest& request, IPCApplication& app, const IPCInstance& instance = {});

}  // namespace vigilo
