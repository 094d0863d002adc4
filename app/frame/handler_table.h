#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <utility>

// One handler per id, run by id: the frame's job-message router and its command table. An id
// without a handler is one the frame leaves to others. GUI thread only.
template <typename... Args> class HandlerTable {
public:
    using Handler = std::function<void(Args...)>;

    // Registers the handler of `id`, in place of any earlier one.
    void Add(uint32_t id, Handler handler) { m_handlers[id] = std::move(handler); }
    // Runs the handler of `id`; false when there is none.
    bool Run(uint32_t id, Args... args) const {
        const auto found = m_handlers.find(id);
        if (found == m_handlers.end() || !found->second) {
            return false;
        }
        found->second(std::forward<Args>(args)...);
        return true;
    }
    bool Handles(uint32_t id) const {
        const auto found = m_handlers.find(id);
        return found != m_handlers.end() && static_cast<bool>(found->second);
    }

private:
    std::unordered_map<uint32_t, Handler> m_handlers;
};
