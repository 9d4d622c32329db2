// PropertyList: a property-list dictionary read from a file or from bytes, in
// XML or binary form, that can be changed and written back in the same form.
// Owns its tree of values; copies are deep (a copy is the mutable copy).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/Error.h"
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class PropertyList {
public:
    enum class Format { Xml, Binary };

    // Files larger than this are refused before they are parsed: a settings
    // file is a few hundred bytes, and the parser holds all of it in memory.
    static constexpr size_t kMaxFileSize = 1 << 20;
    // Lists nested deeper than this are refused before they are parsed: the
    // parser recurses once a level, and a hostile file of that size could
    // nest deep enough to overflow the stack. Counted in XML elements
    // (<plist> and <dict> make two) and in binary containers.
    static constexpr size_t kMaxNesting = 256;
    // Binary lists that unfold into more values than this are refused before
    // they are parsed: an object referred to many times becomes as many
    // copies, so a small file can stand for billions of values.
    static constexpr uint64_t kMaxValues = uint64_t(1) << 20;

    // The file's root dictionary; an error when the file is missing,
    // unreadable, larger than kMaxFileSize, nested deeper than kMaxNesting, a
    // binary list of more than kMaxValues values once unfolded (TooLarge), not
    // a property list (a binary one whose references form a cycle is not one),
    // or its root is not a dictionary (Corrupt). XML and binary files alike;
    // the form is remembered. From bytes, the error is a "parse" one.
    static ErrorOr<PropertyList> readDictionary(const std::string& path);
    static ErrorOr<PropertyList> dictionaryFromBytes(std::span<const uint8_t> bytes);

    // An empty dictionary that will be written in `format`.
    explicit PropertyList(Format format = Format::Xml);
    PropertyList(const PropertyList& other);
    PropertyList& operator=(const PropertyList& other);
    PropertyList(PropertyList&&) noexcept;
    PropertyList& operator=(PropertyList&&) noexcept;
    ~PropertyList();

    Format format() const { return format_; }
    void setFormat(Format format) { format_ = format; }

    bool contains(std::string_view key) const;

    // The entry `key` as a number: a real or an integer as its value, a
    // boolean as 1 or 0, a string that holds nothing but a decimal number
    // (white space around it allowed) as that number. None for a missing key
    // and for every other kind of value.
    std::optional<double> number(std::string_view key) const;

    // The entry `key` when it is a string.
    std::optional<std::string> string(std::string_view key) const;

    // Sets `key` to a real number, replacing any value of any type there; a
    // new key goes after the existing ones, an existing one keeps its place.
    void setReal(std::string_view key, double value);
    void setString(std::string_view key, std::string_view value);

    // The dictionary encoded in its format; empty if encoding fails or gives
    // bytes that would not read back as a dictionary (libplist reads some
    // values it cannot write readably, such as keys that are not UTF-8).
    std::vector<uint8_t> encoded() const;

    // Writes encoded() to `path` atomically (writeFileAtomically), unless the
    // file holds those very bytes already; the error when encoding or writing
    // fails, and the old file then stays whole.
    ErrorOr<void> writeToFile(const std::string& path) const;

private:
    struct Free {
        void operator()(void* node) const;
    };
    PropertyList(void* root, Format format);

    std::unique_ptr<void, Free> root_;
    Format format_;
};

} // namespace platform
