#pragma once
// Move-only owners for Win32 handles: each closes or frees what it owns
// when it goes out of scope. No C runtime: kvxpurge uses them too, but
// never for a handle held in a global, whose destructor nothing would run.
#include <windows.h>

template <typename Traits>
class UniqueAny {
public:
    using Type = typename Traits::Type;
    UniqueAny() = default;
    explicit UniqueAny(Type value) : value_(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueAny() { reset(); }

    Type get() const { return value_; }
    explicit operator bool() const { return Traits::valid(value_); }
    Type* put()
    {
        reset();
        return &value_;
    }
    Type release()
    {
        Type value = value_;
        value_ = Traits::invalid();
        return value;
    }
    void reset(Type value = Traits::invalid())
    {
        if (Traits::valid(value_)) Traits::close(value_);
        value_ = value;
    }

private:
    Type value_ = Traits::invalid();
};

struct FileHandleTraits {  // CreateFileA's failure value is INVALID_HANDLE_VALUE
    using Type = HANDLE;
    static Type invalid() { return INVALID_HANDLE_VALUE; }
    static bool valid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void close(Type h) { CloseHandle(h); }
};

struct KernelHandleTraits {  // processes, threads: failure is null
    using Type = HANDLE;
    static Type invalid() { return nullptr; }
    static bool valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Type h) { CloseHandle(h); }
};

struct FindTraits {  // FindFirstFileA's failure value is INVALID_HANDLE_VALUE
    using Type = HANDLE;
    static Type invalid() { return INVALID_HANDLE_VALUE; }
    static bool valid(Type h) { return h != INVALID_HANDLE_VALUE; }
    static void close(Type h) { FindClose(h); }
};

struct KeyTraits {
    using Type = HKEY;
    static Type invalid() { return nullptr; }
    static bool valid(Type h) { return h != nullptr; }
    static void close(Type h) { RegCloseKey(h); }
};

struct LocalTraits {
    using Type = void*;
    static Type invalid() { return nullptr; }
    static bool valid(Type h) { return h != nullptr; }
    static void close(Type h) { LocalFree(h); }
};

using UniqueFile = UniqueAny<FileHandleTraits>;
using UniqueHandle = UniqueAny<KernelHandleTraits>;
using UniqueFind = UniqueAny<FindTraits>;
using UniqueKey = UniqueAny<KeyTraits>;
using LocalBuffer = UniqueAny<LocalTraits>;
