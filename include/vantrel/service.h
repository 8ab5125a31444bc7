// The service model shared by the host `vantrel` and its components: reference
// counted service objects, the process-wide list of service factories, the
// client object a component hands out from its entry point, and the service
// interfaces a component offers (the version record and the disk writer).
//
// Every class here is an ABI between two separately built binaries: the order
// of the virtual operations is fixed and must not change.
#pragma once

#include "platform/win32_types.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <utility>

class string_base;
class sample_chunk;
class host_api;
class track_handle;
class byte_sink;

// ---- Reference-counted services ------------------------------------------------

class service_base {
public:
    // Slot 0: drops one reference; answers the new count. At 0 the object is gone.
    virtual std::int32_t release() = 0;
    // Slot 1: adds one reference; answers the new count.
    virtual std::int32_t add_ref() = 0;
    // Slot 2: the object itself with one more reference when it implements the
    // class `guid`, else null.
    virtual service_base* query_service(const GUID& guid) = 0;

protected:
    service_base() = default;
    service_base(const service_base&) = default;
    service_base& operator=(const service_base&) = default;
    ~service_base() = default;
};

// A heap-made service with an atomic count that starts at 1 for its maker.
// The last release deletes it.
template <class T> class service_impl_t final : public T {
public:
    template <class... Args>
    explicit service_impl_t(Args&&... args) : T(std::forward<Args>(args)...) {}

    std::int32_t release() override {
        const std::int32_t count = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (count == 0)
            delete this;
        return count;
    }
    std::int32_t add_ref() override { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }

private:
    std::atomic<std::int32_t> count_{1};
};

// A static service that lives as long as the library: counting does nothing.
template <class T, class P1, class P2, class P3> class service_impl_single_p3_t : public T {
public:
    service_impl_single_p3_t(P1 p1, P2 p2, P3 p3) : T(p1, p2, p3) {}

    std::int32_t release() override { return 1; }
    std::int32_t add_ref() override { return 1; }
};

// ---- Factories -----------------------------------------------------------------

// One node of the list of factories a library offers. Constructing a node
// puts it at the head of the list, so the list runs from the newest node to
// the oldest; destroying it takes it out again.
class service_factory_base {
public:
    service_factory_base(const service_factory_base&) = delete;
    service_factory_base& operator=(const service_factory_base&) = delete;

    // Slot 0: a new reference to an instance of the node's class, or null.
    virtual service_base* create_instance() = 0;

    service_factory_base* get_next() const { return next_; }
    const GUID& get_class_guid() const { return class_guid_; }

    // The newest node of this library, or null.
    static service_factory_base* list_head() { return head_; }

protected:
    explicit service_factory_base(const GUID& class_guid) : next_(head_), class_guid_(class_guid) {
        head_ = this;
    }
    ~service_factory_base() {
        for (service_factory_base** link = &head_; *link != nullptr; link = &(*link)->next_) {
            if (*link == this) {
                *link = next_;
                break;
            }
        }
    }

private:
    service_factory_base* next_;
    GUID class_guid_;
    // Each binary has its own list: everything is built with hidden visibility.
    static inline service_factory_base* head_ = nullptr;
};

// Makes a new heap instance of `T` (a `B`) for every request.
template <class B, class T> class service_factory_t : public service_factory_base {
public:
    service_factory_t() : service_factory_base(B::class_guid) {}

    service_base* create_instance() override {
        B* made = new (std::nothrow) service_impl_t<T>();
        return made;
    }
};

// A factory node that carries one static instance of `T` (a `B`) made from
// three constructor arguments, and hands out that instance every time.
template <class B, class T, class P1, class P2, class P3>
class service_factory_single_transparent_p3_t : public service_factory_base {
public:
    service_factory_single_transparent_p3_t(P1 p1, P2 p2, P3 p3)
        : service_factory_base(B::class_guid), instance_(p1, p2, p3) {}

    service_base* create_instance() override {
        instance_.add_ref();
        B& made = instance_;
        return &made;
    }

    T& get_static_instance() { return instance_; }

private:
    service_impl_single_p3_t<T, P1, P2, P3> instance_;
};

// ---- The component's client object and entry point ---------------------------

// What a component answers from get_interface_version.
inline constexpr std::int32_t component_interface_version = 35;

class component_client {
public:
    // Slot 0.
    virtual std::int32_t get_interface_version() = 0;
    // Slot 1: the head of the component's factory list.
    virtual service_factory_base* get_factory_list() = 0;
    // Slots 2 and 3: the component's own settings block.
    virtual void save_settings(byte_sink& sink) = 0;
    virtual void load_settings(const void* data, std::uint32_t size) = 0;
    // Slot 4.
    virtual void no_op_hook() = 0;
    // Slot 5: two UTF-8 paths, copied; the second is the component's own file.
    virtual void set_paths(const char* host_path, const char* component_path) = 0;
    // Slot 6.
    virtual void set_services_ready(std::uint8_t ready) = 0;

protected:
    component_client() = default;
    component_client(const component_client&) = default;
    component_client& operator=(const component_client&) = default;
    ~component_client() = default;
};

// The one function a component library exports, with C linkage.
inline constexpr char component_entry_point_name[] = "vantrel_get_interface";
using component_entry_point = component_client* (*)(host_api* api, HINSTANCE module_instance);

// ---- Services a component offers -----------------------------------------------

// Name, version and about text of a component. Each operation replaces the
// whole content of `out`.
class componentversion : public service_base {
public:
    // {10BB3EBD-DDF7-4975-A3CC-23084829453E}
    static constexpr GUID class_guid = {
        0x10BB3EBD, 0xDDF7, 0x4975, {0xA3, 0xCC, 0x23, 0x08, 0x48, 0x29, 0x45, 0x3E}};

    // Slots 3 to 6.
    virtual void report_file_path(string_base& out) = 0;
    virtual void report_component_name(string_base& out) = 0;
    virtual void report_component_version(string_base& out) = 0;
    virtual void report_about_text(string_base& out) = 0;

protected:
    componentversion() = default;
    ~componentversion() = default;
};

// Writes decoded tracks to files of one format: per track open, set_info,
// process_chunk for each chunk, close.
class diskwriter : public service_base {
public:
    // {2DEB68AB-49ED-460A-BFC0-4936AD39BA4F}
    static constexpr GUID class_guid = {
        0x2DEB68AB, 0x49ED, 0x460A, {0xBF, 0xC0, 0x49, 0x36, 0xAD, 0x39, 0xBA, 0x4F}};

    // Slot 3.
    virtual void report_format_name(string_base& out) = 0;
    // Slot 4: answers true when `out` holds the extension (without dot).
    virtual bool report_file_extension(string_base& out) = 0;
    // Slot 5: `location` is UTF-8; the five numbers are the host's own.
    virtual bool open(const char* location, std::uint32_t p1, std::uint32_t p2, std::uint32_t p3,
                      std::uint32_t p4, std::uint32_t p5) = 0;
    // Slot 6: `track` may be null.
    virtual bool set_info(track_handle* track) = 0;
    // Slot 7.
    virtual bool process_chunk(sample_chunk& chunk) = 0;
    // Slot 8.
    virtual void close() = 0;
    // Slot 9: the writer's own identifier.
    virtual GUID get_guid() = 0;
    // Slots 10 and 11: the writer's configuration block.
    virtual bool set_config(const void* data, std::uint32_t size) = 0;
    virtual void get_config(byte_sink& sink) = 0;
    // Slots 12 and 13.
    virtual bool has_settings_dialog() = 0;
    virtual bool show_settings_dialog(HWND parent) = 0;
    // Slot 14.
    virtual std::int32_t query_int_flag() = 0;
    // Slot 15: the first argument is the host's own.
    virtual void get_default_config(std::uint32_t unused, byte_sink& sink) = 0;
    // Slot 16: a line that names the current configuration.
    virtual bool get_config_description(string_base& out) = 0;
    // Slot 17.
    virtual ~diskwriter() = default;

protected:
    diskwriter() = default;
};
