// A doubly linked list of untyped pointers, one allocated node per entry.
#pragma once

class CPointerList {
public:
    struct Node {
        Node* previous;
        Node* next;
        void* pointer;
    };

    CPointerList() = default;
    ~CPointerList() { RemoveAll(); }
    CPointerList(const CPointerList&) = delete;
    CPointerList& operator=(const CPointerList&) = delete;

    // Null, and nothing appended, when the node cannot be allocated.
    Node* Append(void* pointer);
    // The first node holding the pointer, or null.
    Node* Find(const void* pointer) const;
    // Appends every entry of the other list in order; false if a node could not be allocated.
    bool AppendAll(const CPointerList& other);
    void RemoveAll();

    int Count() const { return count_; }
    Node* Head() const { return head_; }

private:
    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    int count_ = 0;
};
