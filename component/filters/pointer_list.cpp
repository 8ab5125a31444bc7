#include "filters/pointer_list.h"

#include <new>

CPointerList::Node* CPointerList::Append(void* pointer) {
    Node* node = new (std::nothrow) Node{tail_, nullptr, pointer};
    if (node == nullptr) {
        return nullptr;
    }
    if (tail_ != nullptr) {
        tail_->next = node;
    } else {
        head_ = node;
    }
    tail_ = node;
    ++count_;
    return node;
}

CPointerList::Node* CPointerList::Find(const void* pointer) const {
    for (Node* node = head_; node != nullptr; node = node->next) {
        if (node->pointer == pointer) {
            return node;
        }
    }
    return nullptr;
}

bool CPointerList::AppendAll(const CPointerList& other) {
    for (Node* node = other.head_; node != nullptr; node = node->next) {
        if (Append(node->pointer) == nullptr) {
            return false;
        }
    }
    return true;
}

void CPointerList::RemoveAll() {
    Node* node = head_;
    while (node != nullptr) {
        Node* next = node->next;
        delete node;
        node = next;
    }
    head_ = nullptr;
    tail_ = nullptr;
    count_ = 0;
}
