#pragma once
// A text written by one thread and read by another. It is replaced whole, never
// changed in place; the mutex makes each read see one complete value.

#include <mutex>
#include <string>

class SharedText final {
public:
    SharedText() = default;
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;

    std::string get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    void set(std::string value) {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
    }

private:
    mutable std::mutex mutex_;
    std::string value_;
};
