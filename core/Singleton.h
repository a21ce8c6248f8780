// Singleton<T>: the base of the process-wide objects (the configuration and the
// event bus).
//
// instance() creates the object on first use; concurrent first calls create it once (a
// function-local static is initialised under the compiler's own lock, which is the double-checked
// creation this needs). The object is never destroyed: worker threads may still use it while the
// process exits.
#pragma once

#include <cstdio>
#include <new>
#include <utility>

namespace tvn {

template<typename T>
class Singleton {
public:
    static T& instance()
    {
        alignas(T) static unsigned char storage[sizeof(T)];
        static T* object = new (storage) T(); // placement: lives until exit, never destroyed
        return *object;
    }

    Singleton(const Singleton&) = delete;
    Singleton& operator=(const Singleton&) = delete;

protected:
    Singleton()
    {
        if (s_current)
            std::puts("the singleton object repeat construct");
        s_current = this;
    }

    virtual ~Singleton() { s_current = nullptr; }

private:
    static inline Singleton* s_current = nullptr;
};

} // namespace tvn
