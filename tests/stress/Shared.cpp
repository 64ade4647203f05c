#include "Shared.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>

namespace stress {

// Room for a long run's refnums from the start, so the heap figure of the
// run's end is not inflated by the record itself.
RefnumPool::RefnumPool(const char* name) : name_(name), issued_(size_t{1} << 20) {
    for (auto& s : slots_) s.store(-1);
}

int32_t RefnumPool::pick(Rng& rng) const {
    if (rng() % 20 == 0) return kNeverIssued;
    return slots_[rng() % kSlots].load();
}

int32_t RefnumPool::put(Rng& rng, int32_t refnum) { return slots_[rng() % kSlots].exchange(refnum); }

int32_t RefnumPool::take(Rng& rng) { return slots_[rng() % kSlots].exchange(-1); }

bool RefnumPool::issue(int32_t refnum) {
    std::lock_guard lock(mutex_);
    const auto at = static_cast<size_t>(refnum);
    if (at >= issued_.size()) issued_.resize(at + 1024);
    if (issued_[at]) return false;
    issued_[at] = true;
    return true;
}

std::vector<int32_t> RefnumPool::issued() {
    std::lock_guard lock(mutex_);
    std::vector<int32_t> out;
    for (size_t i = 0; i < issued_.size(); ++i)
        if (issued_[i]) out.push_back(static_cast<int32_t>(i));
    return out;
}

void Problems::add(const char* format, ...) {
    const int n = count_.fetch_add(1) + 1;
    if (n > kPrinted) return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::lock_guard lock(mutex_);
    std::fprintf(stderr, "STRESS FAILURE: %s\n", text);
    if (n == kPrinted) std::fprintf(stderr, "STRESS FAILURE: (further problems are counted, not printed)\n");
}

Shared::Shared(const testhost::Exports& exports, Paths files)
    : api(exports), paths(std::move(files)), mainProgram(::dlopen(nullptr, RTLD_NOW)) {}

}  // namespace stress
