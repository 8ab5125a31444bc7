// The component's static objects. They live in this one file because their
// order matters and C++ fixes the order of construction only within a file:
// the disk-writer factory first, then the version record's factory (so the
// host meets the version record first), then the client object.
#include "diskwriter/diskwriter_wma.h"
#include "entry/component_client_i.h"
#include "entry/componentversion_simple.h"
#include "entry/entry.h"
#include "entry/host_calls.h"
#include "entry/module_state.h"
#include "errors/wma_exception.h"
#include "sdk/host_hooks.h"
#include "vantrel/host_api.h"

#include <new>

namespace {

// A disk writer whose construction fails is reported on the console and
// answered as null, so that no exception crosses into the host.
template <class T> class diskwriter_factory_t : public service_factory_t<diskwriter, T> {
public:
    service_base* create_instance() override {
        try {
            return service_factory_t<diskwriter, T>::create_instance();
        } catch (const CWMAException& failure) {
            ConsolePrint(console::severity_error, failure.Description().c_str());
        } catch (const std::bad_alloc&) {
        }
        return nullptr;
    }
};

constexpr char kComponentName[] = "WMA Encoder";
constexpr char kComponentVersion[] = "1.2";
constexpr char kAboutText[] = "WMA Encoder for vantrel, (c) the ostrel authors; report problems "
                              "on the project's issue tracker\n"
                              "Build Date:" __DATE__ " " __TIME__;

diskwriter_factory_t<diskwriter_wma> g_diskwriterFactory;

service_factory_single_transparent_p3_t<componentversion, componentversion_i_simple, const char*,
                                        const char*, const char*>
    g_componentversionFactory(kComponentName, kComponentVersion, kAboutText);

component_client_i g_client;

} // namespace

component_client* ComponentClient() {
    return &g_client;
}

component_client* EnterComponent(host_api* api, HINSTANCE moduleInstance) {
    SetModuleInstance(moduleInstance);
    SetHostApi(api);
    // The support library's own console lines go to the host's console too.
    sdk_host::set_console_printer(&ConsolePrint);
    return &g_client;
}
