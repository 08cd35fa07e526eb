#pragma once

namespace platform {

// The one shape of platform's test hooks: a part of the platform that tests replace with a stand-in
// of their own for the process. install() puts the stand-in in place (the caller keeps ownership),
// reset() brings back the real one. tests/support holds a guard for each that installs itself for
// its lifetime.
template <typename T> class Replaceable
{
public:
    static void install(T *standIn) { s_installed = standIn; }
    static void reset() { s_installed = nullptr; }
    // The stand-in in place, or nullptr.
    static T *installed() { return s_installed; }

protected:
    ~Replaceable() = default;

private:
    inline static T *s_installed = nullptr;
};

} // namespace platform
