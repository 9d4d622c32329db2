// Reads arbitrary bytes as a property list, as the plug-in reads user.plist,
// then does to any dictionary what a composite request does: reads the
// shadow level, sets it, encodes the dictionary in its own format and reads
// that back. Whatever encoding gives must read back as a dictionary with the
// level that was set.
#include "GloamPlugin.h"
#include "platform/PropertyList.h"
#include "support/FuzzCheck.h"

#include <cmath>

using fuzz_support::require;
using platform::PropertyList;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    platform::ErrorOr<PropertyList> list = PropertyList::dictionaryFromBytes({data, size});
    // The level is always a finite number, whatever the file holds.
    float level = GloamPlugin::shadowLevelFrom(
        list ? std::optional<PropertyList>(*list) : std::optional<PropertyList>());
    require(std::isfinite(level));
    if (!list) {
        require(!list.error().why().empty());
        return 0;
    }
    (void)list->string(GloamPlugin::kShadowLevelKey);

    PropertyList copy = *list;
    copy.setReal(GloamPlugin::kShadowLevelKey, 0.25);
    // What would be written either reads back with the new level, or is
    // nothing, and then the old file is kept.
    std::vector<uint8_t> bytes = copy.encoded();
    if (bytes.empty())
        return 0;
    platform::ErrorOr<PropertyList> back = PropertyList::dictionaryFromBytes(bytes);
    require(back.has_value() && back->format() == copy.format());
    require(back->number(GloamPlugin::kShadowLevelKey) == 0.25);
    return 0;
}
