// TextTable: the name-and-value tables that commands print for people, one
// row a line, columns lined up by characters (not bytes, so a degree sign
// counts once). Owns its rows; text() lays them out.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace cli {

// `value` with exactly `places` decimals, as printf's %.*f writes it.
inline std::string fixed(double value, int places)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", places, value);
    return text;
}

// `value` in as few digits as read back to about ten significant ones ("0",
// "13.4", "-74.0059").
inline std::string shortest(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

class TextTable {
public:
    void add(std::string name, std::string value, std::string note = {})
    {
        rows_.push_back({std::move(name), std::move(value), std::move(note)});
    }

    std::string text() const
    {
        size_t nameWidth = 0, valueWidth = 0;
        for (const Row& row : rows_) {
            nameWidth = std::max(nameWidth, characters(row.name));
            if (!row.note.empty())
                valueWidth = std::max(valueWidth, characters(row.value));
        }
        std::string out;
        for (const Row& row : rows_) {
            out += row.name;
            out.append(nameWidth - characters(row.name) + 2, ' ');
            out += row.value;
            if (!row.note.empty()) {
                out.append(valueWidth - characters(row.value) + 2, ' ');
                out += row.note;
            }
            out += '\n';
        }
        return out;
    }

private:
    struct Row {
        std::string name, value, note;
    };
    // UTF-8 characters: every byte but the continuation bytes 10xxxxxx.
    static size_t characters(const std::string& text)
    {
        return size_t(std::count_if(
            text.begin(), text.end(), [](char c) { return (uint8_t(c) & 0xC0) != 0x80; }));
    }
    std::vector<Row> rows_;
};

} // namespace cli
