// Values the whole component shares, set when the host loads it: the host's
// root object, the module instance handle and the paths the host names.
#pragma once

#include "platform/win32_types.h"

#include <cstdint>

class host_api;

// The host's root object; null until the host has called the entry point.
host_api* HostApi();
void SetHostApi(host_api* api);

// The handle dialogs and resources of this library are opened with.
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// The two paths the host names after loading; each empty until set. The
// second is this component's own file, the source name of its console lines.
const char* HostPath();
const char* ComponentFilePath();
void SetPaths(const char* hostPath, const char* componentPath);

std::uint8_t ServicesReady();
void SetServicesReady(std::uint8_t ready);
