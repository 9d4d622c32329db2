#include "platform/PropertyList.h"

#include "platform/Files.h"
#include "platform/Text.h"

#include <charconv>
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

std::optional<PropertyList> PropertyList::readDictionary(const std::string& path)
{
    std::optional<std::vector<uint8_t>> bytes = readFile(path, kMaxFileSize);
    if (!bytes)
        return std::nullopt;
    return dictionaryFromBytes(*bytes);
}

std::optional<PropertyList> PropertyList::dictionaryFromBytes(std::span<const uint8_t> bytes)
{
    if (bytes.empty() || bytes.size() > kMaxFileSize)
        return std::nullopt;
    // A terminating zero after the data, so that no part of the parser can
    // read past the end of text that stops in the middle of a token.
    std::vector<char> data(bytes.begin(), bytes.end());
    data.push_back('\0');
    auto length = static_cast<uint32_t>(bytes.size());
    Format format = plist_is_binary(data.data(), length) ? Format::Binary : Format::Xml;
    plist_t root = nullptr;
    if (format == Format::Binary)
        plist_from_bin(data.data(), length, &root);
    else
        plist_from_xml(data.data(), length, &root);
    PropertyList list(root, format);
    if (!root || plist_get_node_type(root) != PLIST_DICT)
        return std::nullopt;
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
    if (format_ == Format::Binary) {
        BinaryBuffer out;
        plist_to_bin(root_.get(), &out.data, &out.length);
        if (!out.data)
            return {};
        return std::vector<uint8_t>(out.data, out.data + out.length);
    }
    XmlBuffer out;
    plist_to_xml(root_.get(), &out.data, &out.length);
    if (!out.data)
        return {};
    return std::vector<uint8_t>(out.data, out.data + out.length);
}

bool PropertyList::writeToFile(const std::string& path) const
{
    std::vector<uint8_t> bytes = encoded();
    if (bytes.empty())
        return false;
    return writeFileAtomically(path, bytes);
}

} // namespace platform
