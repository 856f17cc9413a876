#include "shared_library.h"

#include "failure.h"

#include <dlfcn.h>

SharedLibrary::SharedLibrary(const char* soname) : m_soname(soname)
{
    // Never unloaded: a library may leave threads or exit handlers behind that still need its
    // code, and the process is short-lived anyway.
    m_handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!m_handle)
        throw Failure(std::string("cannot load ") + soname + ": " + dlerror());
}

SharedLibrary::~SharedLibrary()
{
    dlclose(m_handle);
}

void* SharedLibrary::address(const char* name) const
{
    void* address = dlsym(m_handle, name);
    if (!address)
        throw Failure(m_soname + " lacks " + name);
    return address;
}
