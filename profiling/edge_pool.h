// The container of the graph's edge set: a list whose nodes, once freed, are
// kept for the next edges.  The manager's graph is restarted for every
// function of a run, and a list that freed and allocated one node per edge
// would cost an allocation for every edge of the unit.
#pragma once

#include <boost/graph/adjacency_list.hpp>
#include <cstddef>
#include <list>
#include <memory>
#include <new>
#include <vector>

// An allocator whose freed single elements go to a pool shared by its
// copies (the list's own and its rebinds), from which it allocates first.
// The pool lives as long as the list, and holds at most as many nodes as
// the list once held.
template <class T>
class RECYCLING_ALLOCATOR {
public:
    using value_type = T;

    struct POOL {
        std::size_t element_size = 0;  // the one size it keeps
        std::vector<void*> free;
        POOL() = default;
        POOL(const POOL&) = delete;
        POOL& operator=(const POOL&) = delete;
        ~POOL() {
            for (void* p : free) ::operator delete(p);
        }
    };

    RECYCLING_ALLOCATOR() : pool_(std::make_shared<POOL>()) {}
    template <class U>
    RECYCLING_ALLOCATOR(const RECYCLING_ALLOCATOR<U>& other) : pool_(other.pool()) {}

    T* allocate(std::size_t n) {
        if (n == 1 && pool_->element_size == sizeof(T) && !pool_->free.empty()) {
            void* p = pool_->free.back();
            pool_->free.pop_back();
            return static_cast<T*>(p);
        }
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) {
        if (n == 1 && (pool_->element_size == 0 || pool_->element_size == sizeof(T))) {
            pool_->element_size = sizeof(T);
            pool_->free.push_back(p);
            return;
        }
        ::operator delete(p);
    }

    const std::shared_ptr<POOL>& pool() const { return pool_; }
    template <class U>
    bool operator==(const RECYCLING_ALLOCATOR<U>& other) const {
        return pool_ == other.pool();
    }
    template <class U>
    bool operator!=(const RECYCLING_ALLOCATOR<U>& other) const {
        return pool_ != other.pool();
    }

private:
    std::shared_ptr<POOL> pool_;
};

// The selector of that list for boost::adjacency_list.
struct RECYCLING_LIST_S {};

namespace boost {
template <class ValueType>
struct container_gen<RECYCLING_LIST_S, ValueType> {
    using type = std::list<ValueType, RECYCLING_ALLOCATOR<ValueType>>;
};
template <>
struct parallel_edge_traits<RECYCLING_LIST_S> {
    using type = allow_parallel_edge_tag;
};
}  // namespace boost
