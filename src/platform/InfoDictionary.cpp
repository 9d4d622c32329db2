#include "platform/InfoDictionary.h"

#include "platform/Files.h"

#include <cstdlib>
#include <memory>
#include <plist/plist.h>

namespace platform {

namespace {
// An Info.plist is a few hundred bytes; anything far larger is not one.
constexpr size_t kInfoDictionaryLimit = 1 << 20;

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;
} // namespace

std::optional<InfoDictionary> readInfoDictionary(const std::string& path)
{
    auto bytes = readFile(path, kInfoDictionaryLimit);
    if (!bytes || bytes->empty())
        return std::nullopt;
    plist_t raw = nullptr;
    plist_from_memory(
        reinterpret_cast<const char*>(bytes->data()), static_cast<uint32_t>(bytes->size()), &raw);
    PlistPtr root(raw);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;

    InfoDictionary entries;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(root.get(), &it);
    if (!it)
        return entries;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root.get(), it, &key, &value);
        if (!key)
            break;
        std::string name(key);
        std::free(key);
        if (value && plist_get_node_type(value) == PLIST_STRING) {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(value, &length);
            entries[name] = std::string(text, static_cast<size_t>(length));
        }
    }
    std::free(it);
    return entries;
}

} // namespace platform
