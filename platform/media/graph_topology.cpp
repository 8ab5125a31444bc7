#include "media/graph_topology.h"

#include "core/com_ptr.h"

#include <algorithm>

namespace media {

namespace {

std::vector<com::Ptr<IPin>> PinsOf(IBaseFilter* filter) {
    std::vector<com::Ptr<IPin>> pins;
    com::Ptr<IEnumPins> enumerator;
    if (FAILED(filter->EnumPins(enumerator.Put())) || !enumerator)
        return pins;
    IPin* pin = nullptr;
    ULONG fetched = 0;
    while (enumerator->Next(1, &pin, &fetched) == S_OK && fetched == 1)
        pins.push_back(com::Ptr<IPin>::Adopt(pin));
    return pins;
}

// The pin's peer, or null while it is not connected.
com::Ptr<IPin> PeerOf(IPin* pin) {
    com::Ptr<IPin> peer;
    if (pin->ConnectedTo(peer.Put()) != S_OK)
        peer.Detach(); // a failed call hands out no reference
    return peer;
}

PIN_DIRECTION DirectionOf(IPin* pin, bool* known) {
    PIN_DIRECTION direction = PINDIR_INPUT;
    *known = SUCCEEDED(pin->QueryDirection(&direction));
    return direction;
}

// Identities of the filters that the filter's output pins feed.
std::vector<const void*> FedBy(IBaseFilter* filter) {
    std::vector<const void*> fed;
    for (const com::Ptr<IPin>& pin : PinsOf(filter)) {
        bool known = false;
        if (DirectionOf(pin.Get(), &known) != PINDIR_OUTPUT || !known)
            continue;
        const com::Ptr<IPin> peer = PeerOf(pin.Get());
        if (!peer)
            continue;
        if (IBaseFilter* owner = OwnerOf(peer.Get()))
            fed.push_back(ObjectIdentity(owner));
    }
    return fed;
}

} // namespace

const void* ObjectIdentity(IUnknown* object) {
    IUnknown* identity = nullptr;
    if (object == nullptr ||
        FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))))
        return object;
    identity->Release();
    return identity;
}

IBaseFilter* OwnerOf(IPin* pin) {
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info)))
        return nullptr;
    // The filter outlives its pin's use here: the caller holds the pin.
    if (info.pFilter != nullptr)
        info.pFilter->Release();
    return info.pFilter;
}

bool IsRenderer(IBaseFilter* filter) {
    bool inputs = false;
    bool outputs = false;
    for (const com::Ptr<IPin>& pin : PinsOf(filter)) {
        bool known = false;
        const PIN_DIRECTION direction = DirectionOf(pin.Get(), &known);
        if (known)
            (direction == PINDIR_INPUT ? inputs : outputs) = true;
    }
    return inputs && !outputs;
}

std::vector<IBaseFilter*> DownstreamFirst(const std::vector<IBaseFilter*>& filters) {
    struct Node {
        IBaseFilter* filter;
        const void* identity;
        std::vector<const void*> fed;
        bool placed = false;
    };
    std::vector<Node> nodes;
    for (IBaseFilter* filter : filters)
        nodes.push_back({filter, ObjectIdentity(filter), FedBy(filter)});

    std::vector<IBaseFilter*> order;
    std::vector<const void*> placed;
    for (bool progress = true; progress;) {
        progress = false;
        for (Node& node : nodes) {
            if (node.placed)
                continue;
            // Ready when every filter it feeds is placed or not in this graph.
            const bool ready = std::all_of(node.fed.begin(), node.fed.end(), [&](const void* f) {
                const bool inGraph = std::any_of(nodes.begin(), nodes.end(),
                                                 [&](const Node& n) { return n.identity == f; });
                return !inGraph || std::find(placed.begin(), placed.end(), f) != placed.end();
            });
            if (ready) {
                node.placed = true;
                placed.push_back(node.identity);
                order.push_back(node.filter);
                progress = true;
            }
        }
    }
    for (Node& node : nodes)
        if (!node.placed)
            order.push_back(node.filter);
    return order;
}

void DisconnectPins(IBaseFilter* filter) {
    for (const com::Ptr<IPin>& pin : PinsOf(filter)) {
        if (const com::Ptr<IPin> peer = PeerOf(pin.Get()))
            peer->Disconnect();
        pin->Disconnect();
    }
}

} // namespace media
