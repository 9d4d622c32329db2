#include "platform/PropertyList.h"

#include "platform/Files.h"
#include "platform/Text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <plist/plist.h>

namespace platform {

namespace {

// The encoders hand back buffers that only their own free functions release.
struct XmlBuffer {
    char* data = nullptr;
    uint32_t length = 0;
    ~XmlBuffer() { plist_to_xml_free(data); }
};
struct BinaryBuffer {
    char* data = nullptr;
    uint32_t length = 0;
    ~BinaryBuffer() { plist_to_bin_free(data); }
};

std::optional<double> parseDecimal(std::string_view text)
{
    std::string trimmed = trimWhitespaceAndNewlines(text);
    std::string_view digits = trimmed;
    if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-')
        digits.remove_prefix(1);
    double value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty())
        return std::nullopt;
    return value;
}

// The deepest nesting of elements in XML text, counting up to `limit + 1`
// and stopping there. Comments, CDATA, processing instructions and the
// DOCTYPE nest nothing; a self-closing element ("<true/>") opens and closes
// at once. Quoted attribute values may hold ">". Text that is not well formed
// is counted as far as it goes; the parser refuses it later.
size_t xmlNesting(std::string_view x, size_t limit)
{
    size_t depth = 0, deepest = 0;
    size_t i = 0;
    auto skipPast = [&](std::string_view end) {
        size_t at = x.find(end, i);
        i = at == std::string_view::npos ? x.size() : at + end.size();
    };
    while ((i = x.find('<', i)) != std::string_view::npos) {
        std::string_view rest = x.substr(i);
        if (rest.starts_with("<!--")) {
            skipPast("-->");
        } else if (rest.starts_with("<![CDATA[")) {
            skipPast("]]>");
        } else if (rest.starts_with("<?")) {
            skipPast("?>");
        } else if (rest.starts_with("<!")) {
            skipPast(">");
        } else if (rest.starts_with("</")) {
            if (depth > 0)
                --depth;
            skipPast(">");
        } else {
            // An opening tag: find its end outside quotes.
            char quote = 0;
            size_t j = i + 1;
            for (; j < x.size(); ++j) {
                char c = x[j];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            bool selfClosing = j < x.size() && x[j - 1] == '/';
            if (!selfClosing && ++depth > deepest && (deepest = depth) > limit)
                return deepest;
            i = j < x.size() ? j + 1 : x.size();
        }
    }
    return deepest;
}

// The deepest nesting of containers (arrays, sets, dictionaries) in a binary
// property list, counting up to `limit + 1`; a cycle of references counts as
// too deep, and so do a file whose structure cannot be followed, a string
// with a zero character (libplist mishandles those as it does in XML), or one
// that unfolds into more than `maxNodes` values. libplist makes a value of
// its own for every reference, so objects shared by reference multiply: a
// chain of arrays each referring twice to the next is a small file and 2^n
// values. Walks the objects from the top one without recursion, each once.
size_t binaryNesting(std::span<const uint8_t> b, size_t limit, uint64_t maxNodes)
{
    const size_t tooDeep = limit + 1;
    if (b.size() < 8 + 32)
        return tooDeep;
    auto be = [&](size_t at, size_t width) {
        uint64_t v = 0;
        for (size_t k = 0; k < width; ++k)
            v = v << 8 | b[at + k];
        return v;
    };
    const size_t trailer = b.size() - 32;
    const size_t offsetSize = b[trailer + 6], refSize = b[trailer + 7];
    const uint64_t count = be(trailer + 8, 8), top = be(trailer + 16, 8);
    const uint64_t table = be(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || count == 0 || top >= count
        || count > trailer || table > trailer || (trailer - table) / offsetSize < count)
        return tooDeep;

    // The references an object holds, or false when it is not a container.
    auto children = [&](uint64_t object, size_t& first, uint64_t& n) {
        uint64_t at = be(size_t(table + object * offsetSize), offsetSize);
        if (at < 8 || at >= table)
            return false;
        uint8_t marker = b[at];
        uint8_t kind = marker >> 4;
        if (kind != 0xA && kind != 0xC && kind != 0xD)
            return false;
        n = marker & 0x0F;
        size_t p = size_t(at) + 1;
        if (n == 0x0F) { // the count follows as an integer object
            if (p >= table || (b[p] >> 4) != 0x1 || (b[p] & 0x0F) > 3)
                return n = UINT64_MAX, true;
            size_t width = size_t(1) << (b[p] & 0x0F);
            if (table - p - 1 < width)
                return n = UINT64_MAX, true;
            n = be(p + 1, width);
            p += 1 + width;
        }
        if (kind == 0xD)
            n = n > UINT64_MAX / 2 ? UINT64_MAX : n * 2;
        first = p;
        return true;
    };

    enum : uint8_t { Unseen, Open, Done };
    std::vector<uint8_t> state(size_t(count), Unseen);
    std::vector<uint32_t> height(size_t(count), 0); // containers below, this one included
    std::vector<uint64_t> nodes(size_t(count), 1); // values it unfolds into, capped
    auto addNodes = [&](uint64_t to, uint64_t more) {
        nodes[to] = std::min(nodes[to] + more, maxNodes + 1);
        return nodes[to] <= maxNodes;
    };
    struct Frame {
        uint64_t object;
        size_t first;
        uint64_t n, next;
    };
    std::vector<Frame> path;
    // True for a string (ASCII or UTF-16) that holds a zero character, or
    // one that runs past the objects. libplist keeps such a string's whole
    // length but treats it as ending at the zero in places, and its writer
    // then looks up an object it never stored: a null pointer.
    auto badString = [&](uint64_t object) {
        uint64_t at = be(size_t(table + object * offsetSize), offsetSize);
        if (at < 8 || at >= table)
            return false; // not a string libplist can find either
        uint8_t kind = b[at] >> 4;
        if (kind != 0x5 && kind != 0x6)
            return false;
        uint64_t n = b[at] & 0x0F;
        size_t p = size_t(at) + 1;
        if (n == 0x0F) {
            if (p >= table || (b[p] >> 4) != 0x1 || (b[p] & 0x0F) > 3)
                return true;
            size_t width = size_t(1) << (b[p] & 0x0F);
            if (table - p - 1 < width)
                return true;
            n = be(p + 1, width);
            p += 1 + width;
        }
        const size_t unit = kind == 0x6 ? 2 : 1;
        if (n > (table - p) / unit)
            return true;
        for (size_t i = 0; i < n; ++i) {
            bool zero = b[p + i * unit] == 0 && (unit == 1 || b[p + i * unit + 1] == 0);
            if (zero)
                return true;
        }
        return false;
    };
    auto enter = [&](uint64_t object) {
        size_t first = 0;
        uint64_t n = 0;
        if (!children(object, first, n)) {
            state[object] = Done;
            return !badString(object);
        }
        if (n != 0 && (n == UINT64_MAX || (table - first) / refSize < n))
            return false;
        state[object] = Open;
        path.push_back({object, first, n, 0});
        return path.size() <= limit;
    };
    if (!enter(top))
        return tooDeep;
    while (!path.empty()) {
        Frame& f = path.back();
        if (f.next == f.n) {
            state[f.object] = Done;
            uint32_t h = height[f.object] + 1;
            height[f.object] = h;
            uint64_t below = nodes[f.object];
            path.pop_back();
            if (!path.empty()) {
                height[path.back().object] = std::max(height[path.back().object], h);
                if (!addNodes(path.back().object, below))
                    return tooDeep;
            }
            continue;
        }
        uint64_t child = be(f.first + size_t(f.next * refSize), refSize);
        ++f.next;
        if (child >= count || state[child] == Open)
            return tooDeep; // a reference out of the file, or a cycle
        if (state[child] == Done) {
            if (path.size() + height[child] > limit)
                return tooDeep;
            height[f.object] = std::max(height[f.object], height[child]);
            if (!addNodes(f.object, nodes[child]))
                return tooDeep;
            continue;
        }
        const uint64_t parent = f.object; // enter() may move the frames
        if (!enter(child))
            return tooDeep;
        if (state[child] == Done && !addNodes(parent, 1)) // a value, not a container
            return tooDeep;
    }
    return height[top];
}

} // namespace

void PropertyList::Free::operator()(void* node) const
{
    plist_free(static_cast<plist_t>(node));
}

PropertyList::PropertyList(Format format)
    : root_(plist_new_dict())
    , format_(format)
{
}

PropertyList::PropertyList(void* root, Format format)
    : root_(root)
    , format_(format)
{
}

PropertyList::PropertyList(const PropertyList& other)
    : root_(plist_copy(other.root_.get()))
    , format_(other.format_)
{
}

PropertyList& PropertyList::operator=(const PropertyList& other)
{
    if (this != &other) {
        root_.reset(plist_copy(other.root_.get()));
        format_ = other.format_;
    }
    return *this;
}

PropertyList::PropertyList(PropertyList&&) noexcept = default;
PropertyList& PropertyList::operator=(PropertyList&&) noexcept = default;
PropertyList::~PropertyList() = default;

ErrorOr<PropertyList> PropertyList::readDictionary(const std::string& path)
{
    ErrorOr<std::vector<uint8_t>> bytes = readFile(path, kMaxFileSize);
    if (!bytes)
        return bytes.error();
    ErrorOr<PropertyList> list = dictionaryFromBytes(*bytes);
    if (!list)
        return list.error().about("read", path);
    return list;
}

ErrorOr<PropertyList> PropertyList::dictionaryFromBytes(std::span<const uint8_t> bytes)
{
    auto refuse = [](Error::Code code, std::string why) {
        return Error(code, "parse", {}, std::move(why));
    };
    if (bytes.empty())
        return refuse(Error::Code::UnknownFormat, "not a property list: no bytes");
    if (bytes.size() > kMaxFileSize)
        return refuse(Error::Code::TooLarge,
            "larger than the " + std::to_string(kMaxFileSize) + " bytes allowed");
    // A terminating zero after the data, so that no part of the parser can
    // read past the end of text that stops in the middle of a token.
    std::vector<char> data(bytes.begin(), bytes.end());
    data.push_back('\0');
    auto length = static_cast<uint32_t>(bytes.size());
    Format format = plist_is_binary(data.data(), length) ? Format::Binary : Format::Xml;
    // No XML document holds a zero byte. libplist's XML reader takes one
    // inside a string for its end when it copies the text but keeps the
    // whole length, and its writer then reads past the copy.
    if (format == Format::Xml && std::memchr(data.data(), 0, bytes.size()) != nullptr)
        return refuse(Error::Code::Corrupt, "a zero byte in XML text");
    // libplist's parsers, and its copy, free and encoders, recurse once a
    // level: a file nested some tens of thousands deep exhausts the stack.
    if (format == Format::Binary && binaryNesting(bytes, kMaxNesting, kMaxValues) > kMaxNesting)
        return refuse(Error::Code::TooLarge,
            "nested deeper than " + std::to_string(kMaxNesting) + " levels, more than "
                + std::to_string(kMaxValues) + " values, or references that cannot be followed");
    if (format == Format::Xml
        && xmlNesting(std::string_view(data.data(), bytes.size()), kMaxNesting) > kMaxNesting)
        return refuse(
            Error::Code::TooLarge, "nested deeper than " + std::to_string(kMaxNesting) + " levels");
    plist_t root = nullptr;
    if (format == Format::Binary)
        plist_from_bin(data.data(), length, &root);
    else
        plist_from_xml(data.data(), length, &root);
    PropertyList list(root, format);
    if (!root)
        return refuse(Error::Code::Corrupt, "not a property list");
    if (plist_get_node_type(root) != PLIST_DICT)
        return refuse(Error::Code::Corrupt, "its root is not a dictionary");
    return list;
}

bool PropertyList::contains(std::string_view key) const
{
    return plist_dict_get_item(root_.get(), std::string(key).c_str()) != nullptr;
}

std::optional<double> PropertyList::number(std::string_view key) const
{
    plist_t item = plist_dict_get_item(root_.get(), std::string(key).c_str());
    if (!item)
        return std::nullopt;
    switch (plist_get_node_type(item)) {
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(item, &value);
        return value;
    }
    case PLIST_UINT: {
        // Integers are kept as 64-bit patterns; negative ones in two's
        // complement, which is how both encodings store them.
        uint64_t bits = 0;
        plist_get_uint_val(item, &bits);
        return static_cast<double>(static_cast<int64_t>(bits));
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(item, &value);
        return value ? 1.0 : 0.0;
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(item, &length);
        if (!text)
            return std::nullopt;
        return parseDecimal(std::string_view(text, static_cast<size_t>(length)));
    }
    default:
        return std::nullopt;
    }
}

std::optional<std::string> PropertyList::string(std::string_view key) const
{
    plist_t item = plist_dict_get_item(root_.get(), std::string(key).c_str());
    if (!item || plist_get_node_type(item) != PLIST_STRING)
        return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(item, &length);
    if (!text)
        return std::nullopt;
    return std::string(text, static_cast<size_t>(length));
}

void PropertyList::setReal(std::string_view key, double value)
{
    plist_dict_set_item(root_.get(), std::string(key).c_str(), plist_new_real(value));
}

void PropertyList::setString(std::string_view key, std::string_view value)
{
    plist_dict_set_item(
        root_.get(), std::string(key).c_str(), plist_new_string(std::string(value).c_str()));
}

std::vector<uint8_t> PropertyList::encoded() const
{
    std::vector<uint8_t> bytes;
    if (format_ == Format::Binary) {
        BinaryBuffer out;
        plist_to_bin(root_.get(), &out.data, &out.length);
        if (out.data)
            bytes.assign(out.data, out.data + out.length);
    } else {
        XmlBuffer out;
        plist_to_xml(root_.get(), &out.data, &out.length);
        if (out.data)
            bytes.assign(out.data, out.data + out.length);
    }
    // libplist reads some things it cannot write back readably (a key that is
    // not UTF-8, for one). Bytes that would not read back as a dictionary
    // are no encoding: written over a settings file, they would lose it all.
    if (bytes.empty() || !dictionaryFromBytes(bytes))
        return {};
    return bytes;
}

ErrorOr<void> PropertyList::writeToFile(const std::string& path) const
{
    std::vector<uint8_t> bytes = encoded();
    if (bytes.empty())
        return Error(Error::Code::Invalid, "write", path,
            "the dictionary holds values that cannot be written readably");
    // A file that already holds these bytes is left as it is: the widget
    // writes its settings after every picture, and a synced rewrite of
    // unchanged settings would cost more than the picture.
    ErrorOr<std::vector<uint8_t>> old = readFile(path, bytes.size());
    if (old && *old == bytes)
        return {};
    return writeFileAtomically(path, bytes);
}

} // namespace platform
