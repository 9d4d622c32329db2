#include "platform/SharedLibrary.h"

#include <dlfcn.h>
#include <utility>

namespace platform {

ErrorOr<SharedLibrary> SharedLibrary::open(const std::string& fileName)
{
    // Local: the library's names stay out of the way of the program's own
    // and of other libraries'. Never unloaded once loaded: ICU and cairo
    // keep caches in memory that only their own variables point to, and a
    // module holding a handle (the plug-in) may come and go.
    void* handle = dlopen(fileName.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const char* why = dlerror();
        return Error(Error::Code::Unavailable, "load", fileName, why ? why : "unknown reason");
    }
    return SharedLibrary(handle, fileName);
}

SharedLibrary::SharedLibrary(void* handle, std::string fileName)
    : handle_(handle)
    , fileName_(std::move(fileName))
{
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr))
    , fileName_(std::move(other.fileName_))
{
}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept
{
    std::swap(handle_, other.handle_);
    std::swap(fileName_, other.fileName_);
    return *this;
}

SharedLibrary::~SharedLibrary()
{
    if (handle_)
        dlclose(handle_);
}

void* SharedLibrary::find(const char* name) const
{
    return handle_ ? dlsym(handle_, name) : nullptr;
}

Error SharedLibrary::missing(const char* name) const
{
    return Error(Error::Code::Unavailable, "load", fileName_,
        std::string("it has no function ") + name + " (an older version?)");
}

} // namespace platform
