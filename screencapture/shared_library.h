#pragma once

#include <string>

// A library loaded when a capture first needs it rather than when the tool starts: most
// captures need neither TIFF nor WebP, and sound is prepared off the capture's path, while
// loading those libraries and theirs at start-up costs every capture about a millisecond.
class SharedLibrary {
public:
    // Throws a Failure naming the library when it cannot be loaded.
    explicit SharedLibrary(const char* soname);
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    ~SharedLibrary();

    // The function `name`, of type F (taken from the library's header with decltype); throws
    // a Failure when the library lacks it.
    template <typename F> F function(const char* name) const { return reinterpret_cast<F>(address(name)); }

private:
    void* address(const char* name) const;

    std::string m_soname;
    void* m_handle = nullptr;
};

// Inside a struct whose SharedLibrary member is named `library`: the member `member`, holding the
// library's function `name` with the type its header declares.
#define LIBRARY_FUNCTION(member, name) decltype(&name) member = library.function<decltype(&name)>(#name)
