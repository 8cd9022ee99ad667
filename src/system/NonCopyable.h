// For a class that owns something of the system's (a handle, a loaded hive,
// a held lock) and gives it back when destroyed: two copies would give it
// back twice.
#pragma once

class NonCopyable {
public:
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;

protected:
    NonCopyable() = default;
    ~NonCopyable() = default;
};
