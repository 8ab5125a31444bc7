#include "diskwriter/host_name_comparer.h"

#include "sdk/host_hooks.h"
#include "vantrel/utf8api.h"

void InstallHostNameComparer() {
    static const bool installed = [] {
        sdk_host::set_name_comparer(&stricmp_utf8);
        return true;
    }();
    (void)installed;
}
