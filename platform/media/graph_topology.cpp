#include "media/graph_topology.h"

#include <algorithm>

namespace media {

namespace {

// The filter's pins, each with a reference the caller releases.
std::vector<IPin*> PinsOf(IBaseFilter* filter) {
    std::vector<IPin*> pins;
    IEnumPins* enumerator = nullptr;
    if (FAILED(filter->EnumPins(&enumerator)) || enumerator == nullptr)
        return pins;
    IPin* pin = nullptr;
    ULONG fetched = 0;
    while (enumerator->Next(1, &pin, &fetched) == S_OK && fetched == 1)
        pins.push_back(pin);
    enumerator->Release();
    return pins;
}

void ReleaseAll(std::vector<IPin*>& pins) {
    for (IPin* pin : pins)
        pin->Release();
    pins.clear();
}

PIN_DIRECTION DirectionOf(IPin* pin, bool* known) {
    PIN_DIRECTION direction = PINDIR_INPUT;
    *known = SUCCEEDED(pin->QueryDirection(&direction));
    return direction;
}

// Identities of the filters that the filter's output pins feed.
std::vector<const void*> FedBy(IBaseFilter* filter) {
    std::vector<const void*> fed;
    std::vector<IPin*> pins = PinsOf(filter);
    for (IPin* pin : pins) {
        bool known = false;
        if (DirectionOf(pin, &known) != PINDIR_OUTPUT || !known)
            continue;
        IPin* peer = nullptr;
        if (pin->ConnectedTo(&peer) != S_OK || peer == nullptr)
            continue;
        if (IBaseFilter* owner = OwnerOf(peer))
            fed.push_back(ObjectIdentity(owner));
        peer->Release();
    }
    ReleaseAll(pins);
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
    std::vector<IPin*> pins = PinsOf(filter);
    for (IPin* pin : pins) {
        bool known = false;
        const PIN_DIRECTION direction = DirectionOf(pin, &known);
        if (known)
            (direction == PINDIR_INPUT ? inputs : outputs) = true;
    }
    ReleaseAll(pins);
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
    std::vector<IPin*> pins = PinsOf(filter);
    for (IPin* pin : pins) {
        IPin* peer = nullptr;
        if (pin->ConnectedTo(&peer) == S_OK && peer != nullptr) {
            peer->Disconnect();
            peer->Release();
        }
        pin->Disconnect();
    }
    ReleaseAll(pins);
}

} // namespace media
