// The work of the exported entry point, kept apart from the export itself so
// that it can be reached without loading the shared library.
#pragma once

#include "platform/win32_types.h"

class component_client;
class host_api;

// Stores the module instance, then the host's root object, and answers the
// component's one client object. May be called again; each call overwrites.
component_client* EnterComponent(host_api* api, HINSTANCE moduleInstance);

// The component's one client object.
component_client* ComponentClient();
