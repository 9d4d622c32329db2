// PlistBytes: binary property lists built by hand, object by object, for
// tests of what the reader refuses: references that loop or point outside
// the file, strings libplist cannot write back, nesting past the limit.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace testing_support::bplist {

// One object's bytes, given the width of a reference in this file.
using Object = std::function<std::vector<uint8_t>(size_t refSize)>;

// "bplist00", the objects, their offset table and the trailer naming `top`
// as the root object.
inline std::vector<uint8_t> file(const std::vector<Object>& objects, uint64_t top = 0)
{
    size_t refSize = objects.size() < 256 ? 1 : (objects.size() < 65536 ? 2 : 4);
    std::vector<uint8_t> out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<uint64_t> offsets;
    for (const auto& o : objects) {
        offsets.push_back(out.size());
        auto bytes = o(refSize);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    size_t offsetSize = out.size() < 256 ? 1 : (out.size() < 65536 ? 2 : 4);
    uint64_t table = out.size();
    auto put = [&](uint64_t v, size_t width) {
        for (size_t k = width; k-- > 0;)
            out.push_back(uint8_t(v >> (8 * k)));
    };
    for (uint64_t o : offsets)
        put(o, offsetSize);
    out.insert(out.end(), 6, 0);
    out.push_back(uint8_t(offsetSize));
    out.push_back(uint8_t(refSize));
    put(objects.size(), 8);
    put(top, 8);
    put(table, 8);
    return out;
}

// An array (kind 0xA) or a dictionary (0xD: its keys' references, then its
// values') of the objects numbered `refs`.
inline Object container(uint8_t kind, std::vector<uint64_t> refs)
{
    return [=](size_t refSize) {
        size_t n = kind == 0xD ? refs.size() / 2 : refs.size();
        std::vector<uint8_t> o = {uint8_t(kind << 4 | n)};
        if (n >= 15) // the count follows as a two-byte integer object
            o = {uint8_t(kind << 4 | 0xF), 0x11, uint8_t(n >> 8), uint8_t(n)};
        for (uint64_t r : refs)
            for (size_t k = refSize; k-- > 0;)
                o.push_back(uint8_t(r >> (8 * k)));
        return o;
    };
}
inline Object array(std::vector<uint64_t> refs)
{
    return container(0xA, std::move(refs));
}
inline Object dict(std::vector<uint64_t> refs)
{
    return container(0xD, std::move(refs));
}

// An object of the bytes given, as they are.
inline Object raw(std::vector<uint8_t> bytes)
{
    return [=](size_t) { return bytes; };
}

// An ASCII string of fewer than 15 characters.
inline Object ascii(const std::string& text)
{
    std::vector<uint8_t> o = {uint8_t(0x50 | text.size())};
    o.insert(o.end(), text.begin(), text.end());
    return raw(o);
}

inline Object real(double v)
{
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    std::vector<uint8_t> o = {0x23};
    for (int k = 7; k >= 0; --k)
        o.push_back(uint8_t(bits >> (8 * k)));
    return raw(o);
}

} // namespace testing_support::bplist
