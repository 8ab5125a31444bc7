// How many tracks are converted at once (-j). A track holds a slot while it is
// decoded and encoded; once its finished file only has to reach the disk and
// be moved into place (the platform's writer says so, naming the path), its
// slot goes to the next track while it waits for that.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace vantrel {

class JobSlots {
public:
    explicit JobSlots(std::size_t slots);
    JobSlots(const JobSlots&) = delete;
    JobSlots& operator=(const JobSlots&) = delete;

    // A slot held until `leave`, or until its output is being published.
    using Ticket = std::uint64_t;

    // Waits for a free slot and takes it.
    Ticket enter();
    // The held slot writes `output`; a path that another ticket writes already
    // is not taken, that slot then waits for `leave`.
    void writes(Ticket ticket, const std::string& output);
    // `output` is being published: the slot writing it is freed at once. Any
    // thread may call it; paths no slot writes are passed over.
    void publishing(const char* output);
    // The track is over: its slot is freed unless that happened already.
    void leave(Ticket ticket);

    std::size_t free_slots() const;

private:
    void free_locked(Ticket ticket);

    mutable std::mutex mutex_;
    std::condition_variable freed_;
    std::size_t free_;
    Ticket next_ = 0;
    std::unordered_map<Ticket, std::string> held_; // the output each writes, if named
    std::unordered_map<std::string, Ticket> by_output_;
};

// Installs `slots.publishing` as the platform writer's publish notice for the
// lifetime of this object.
class PublishNoticeScope {
public:
    explicit PublishNoticeScope(JobSlots& slots);
    ~PublishNoticeScope();
    PublishNoticeScope(const PublishNoticeScope&) = delete;
    PublishNoticeScope& operator=(const PublishNoticeScope&) = delete;
};

} // namespace vantrel
