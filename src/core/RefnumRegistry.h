// Thread-safe ordered map from refnum to an owned object, with a
// shared/exclusive lock on the map and one on each entry. Every user of an
// entry holds the map shared from acquire to release, so adding and removing
// wait until no entry is in use: an object is never deleted under a caller.
// Objects that register with the host's clean-up are registered by `add`, once
// they are whole, and withdrawn before they are deleted.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <type_traits>

#include "core/Cleanable.h"
#include "core/SharedExclusiveLock.h"

namespace tw {

using TaskRefnum = int32_t;

template <typename T>
class RefnumRegistry {
public:
    RefnumRegistry() = default;
    ~RefnumRegistry() { removeAll(); }
    RefnumRegistry(const RefnumRegistry&) = delete;
    RefnumRegistry& operator=(const RefnumRegistry&) = delete;

    // Takes ownership of `object`; returns its new refnum.
    TaskRefnum add(T* object) {
        if constexpr (kCleanable) cleanup::enrol(object);
        lock_.lockExclusive();
        TaskRefnum refnum = nextRefnum_;
        advance();
        map_.emplace(refnum, std::make_unique<Entry>(object));
        lock_.unlockExclusive();
        return refnum;
    }

    // The object, or null when not registered. Always pair with release(),
    // with the same arguments on the same thread, found or not.
    T* acquire(TaskRefnum refnum, bool exclusive) {
        lock_.lockShared();
        return enter(refnum, exclusive);
    }

    // Shared, for the calls that end waits: it does not queue behind an add
    // or remove that waits for the callers inside (one of which may wait
    // for this very call). Pair with release(refnum, false).
    T* acquirePassing(TaskRefnum refnum) {
        lock_.lockSharedPassing();
        return enter(refnum, false);
    }

    void release(TaskRefnum refnum, bool exclusive) {
        auto it = map_.find(refnum);
        if (it != map_.end()) {
            if (exclusive) {
                it->second->lock.unlockExclusive();
            } else {
                it->second->lock.unlockShared();
            }
        }
        lock_.unlockShared();
    }

    // 0 when the entry existed and its object was deleted, 1 when unknown.
    int32_t remove(TaskRefnum refnum) {
        lock_.lockExclusive();
        int32_t result = 1;
        auto it = map_.find(refnum);
        if (it != map_.end()) {
            std::unique_ptr<Entry> entry = std::move(it->second);
            map_.erase(it);
            destroy(entry);
            result = 0;
        }
        lock_.unlockExclusive();
        return result;
    }

    // Deletes every object in ascending refnum order; refnums are not reused.
    int32_t removeAll() {
        lock_.lockExclusive();
        for (auto& [refnum, entry] : map_) destroy(entry);
        map_.clear();
        lock_.unlockExclusive();
        return 0;
    }

    // Every object, without taking a lock: only for a process whose other
    // threads are gone (they may have died holding one).
    template <typename Fn>
    void forEachAtExit(Fn fn) {
        for (auto& [refnum, entry] : map_)
            if (entry->object) fn(*entry->object);
    }

    // Passing, as the lookups of the calls that end waits trace it first.
    int32_t count() {
        lock_.lockSharedPassing();
        auto n = static_cast<int32_t>(map_.size());
        lock_.unlockShared();
        return n;
    }

    // Readers currently holding the map (for tests).
    int32_t holders() const { return lock_.readerCount(); }

private:
    struct Entry {
        explicit Entry(T* o) : object(o) {}
        SharedExclusiveLock lock;
        std::unique_ptr<T> object;
    };

    static constexpr bool kCleanable = std::is_base_of_v<Cleanable, T>;

    // With the map held shared: the entry's object, locked as asked.
    T* enter(TaskRefnum refnum, bool exclusive) {
        auto it = map_.find(refnum);
        if (it == map_.end()) return nullptr;
        if (exclusive) {
            it->second->lock.lockExclusive();
        } else {
            it->second->lock.lockShared();
        }
        return it->second->object.get();
    }

    static void destroy(std::unique_ptr<Entry>& entry) {
        if constexpr (kCleanable) {
            if (entry->object) cleanup::withdraw(entry->object.get());
        }
        entry.reset();
    }

    // Counts on in 32 bits without undefined overflow; -1 means "no object"
    // to the host and a refnum still in use must not be handed out twice.
    void advance() {
        do {
            nextRefnum_ = static_cast<TaskRefnum>(static_cast<uint32_t>(nextRefnum_) + 1u);
        } while (nextRefnum_ == -1 || map_.count(nextRefnum_));
    }

    std::map<TaskRefnum, std::unique_ptr<Entry>> map_;
    SharedExclusiveLock lock_;
    TaskRefnum nextRefnum_ = 0;
};

struct Passing {};

// Holds one acquire/release pair for the length of a scope.
template <typename T>
class Acquired {
public:
    Acquired(RefnumRegistry<T>& registry, TaskRefnum refnum, bool exclusive)
        : registry_(registry), refnum_(refnum), exclusive_(exclusive),
          object_(registry.acquire(refnum, exclusive)) {}
    Acquired(RefnumRegistry<T>& registry, TaskRefnum refnum, Passing)
        : registry_(registry), refnum_(refnum), exclusive_(false),
          object_(registry.acquirePassing(refnum)) {}
    ~Acquired() { registry_.release(refnum_, exclusive_); }
    Acquired(const Acquired&) = delete;
    Acquired& operator=(const Acquired&) = delete;

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    RefnumRegistry<T>& registry_;
    TaskRefnum refnum_;
    bool exclusive_;
    T* object_;
};

}  // namespace tw
