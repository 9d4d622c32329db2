#include "platform/Bundle.h"

#include "platform/Files.h"
#include "platform/PropertyList.h"

#include <map>
#include <mutex>

namespace platform {

namespace {

struct Registry {
    std::mutex lock;
    std::map<std::string, std::string, std::less<>> paths;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

} // namespace

void registerBundle(std::string_view identifier, std::string_view path)
{
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.paths.insert_or_assign(std::string(identifier), std::string(path));
}

std::optional<std::string> bundlePathForIdentifier(std::string_view identifier)
{
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    auto it = r.paths.find(identifier);
    if (it == r.paths.end())
        return std::nullopt;
    return it->second;
}

ErrorOr<std::string> readBundleIdentifier(const std::string& bundlePath)
{
    const std::string path = joinPath(bundlePath, "Contents/Info.plist");
    ErrorOr<PropertyList> info = PropertyList::readDictionary(path);
    if (!info)
        return info.error();
    std::optional<std::string> identifier = info->string("CFBundleIdentifier");
    if (!identifier)
        return Error(Error::Code::Corrupt, "read", path, "no CFBundleIdentifier string");
    return std::move(*identifier);
}

void clearBundleRegistryForTesting()
{
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.paths.clear();
}

} // namespace platform
