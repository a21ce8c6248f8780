// Owning handles for GLib and GObject values, in the manner of WebKit's GRefPtr and GUniquePtr.
//
// Ownership transfer is spelled at the call: GRef<T>::adopt for a transfer-full result,
// GRef<T>::retain for a transfer-none one (a floating reference is sunk).
#pragma once

#include <glib-object.h>
#include <memory>
#include <utility>

namespace tvn {

template<typename T>
class GRef {
public:
    GRef() = default;
    static GRef adopt(T* pointer) noexcept
    {
        GRef ref;
        ref.m_pointer = pointer;
        return ref;
    }
    static GRef retain(T* pointer) noexcept
    {
        if (pointer)
            g_object_ref_sink(pointer);
        return adopt(pointer);
    }

    GRef(const GRef& other) noexcept
        : m_pointer(other.m_pointer)
    {
        if (m_pointer)
            g_object_ref(m_pointer);
    }
    GRef(GRef&& other) noexcept
        : m_pointer(std::exchange(other.m_pointer, nullptr))
    {
    }
    GRef& operator=(GRef other) noexcept
    {
        std::swap(m_pointer, other.m_pointer);
        return *this;
    }
    ~GRef()
    {
        if (m_pointer)
            g_object_unref(m_pointer);
    }

    T* get() const noexcept { return m_pointer; }
    T* leak() noexcept { return std::exchange(m_pointer, nullptr); }
    explicit operator bool() const noexcept { return m_pointer; }

private:
    T* m_pointer = nullptr;
};

template<typename T>
struct GFree {
    void operator()(T* pointer) const noexcept { g_free(pointer); }
};
template<>
struct GFree<GError> {
    void operator()(GError* error) const noexcept { g_error_free(error); }
};
template<>
struct GFree<GBytes> {
    void operator()(GBytes* bytes) const noexcept { g_bytes_unref(bytes); }
};
template<>
struct GFree<GPtrArray> {
    void operator()(GPtrArray* array) const noexcept { g_ptr_array_unref(array); }
};
template<>
struct GFree<GVariant> {
    void operator()(GVariant* variant) const noexcept { g_variant_unref(variant); }
};
template<>
struct GFree<GUri> {
    void operator()(GUri* uri) const noexcept { g_uri_unref(uri); }
};
template<>
struct GFree<char*> {
    void operator()(char** strings) const noexcept { g_strfreev(strings); }
};

template<typename T>
using GUnique = std::unique_ptr<T, GFree<T>>;

} // namespace tvn
