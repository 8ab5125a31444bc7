#include "convert/job_slots.h"

#include "platform/output_files.h"

namespace vantrel {

JobSlots::JobSlots(std::size_t slots) : free_(slots == 0 ? 1 : slots) {}

JobSlots::Ticket JobSlots::enter() {
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [this] { return free_ > 0; });
    --free_;
    const Ticket ticket = next_++;
    held_.emplace(ticket, std::string());
    return ticket;
}

void JobSlots::writes(Ticket ticket, const std::string& output) {
    std::lock_guard lock(mutex_);
    const auto held = held_.find(ticket);
    if (held == held_.end() || !held->second.empty())
        return;
    if (by_output_.emplace(output, ticket).second)
        held->second = output;
}

void JobSlots::publishing(const char* output) {
    std::lock_guard lock(mutex_);
    const auto found = by_output_.find(output);
    if (found != by_output_.end())
        free_locked(found->second);
}

void JobSlots::leave(Ticket ticket) {
    std::lock_guard lock(mutex_);
    free_locked(ticket);
}

std::size_t JobSlots::free_slots() const {
    std::lock_guard lock(mutex_);
    return free_;
}

void JobSlots::free_locked(Ticket ticket) {
    const auto held = held_.find(ticket);
    if (held == held_.end())
        return;
    if (!held->second.empty())
        by_output_.erase(held->second);
    held_.erase(held);
    ++free_;
    freed_.notify_one();
}

namespace {

void notice(const char* path, void* context) {
    static_cast<JobSlots*>(context)->publishing(path);
}

} // namespace

PublishNoticeScope::PublishNoticeScope(JobSlots& slots) {
    SetOutputPublishNotice(&notice, &slots);
}

PublishNoticeScope::~PublishNoticeScope() {
    SetOutputPublishNotice(nullptr, nullptr);
}

} // namespace vantrel
