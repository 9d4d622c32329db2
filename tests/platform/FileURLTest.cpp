#include "platform/FileURL.h"

#include <gtest/gtest.h>

TEST(FileURLTest, FileURLsAndPlainPathsNameLocalFiles)
{
    // A colon after a slash is no scheme; a zero byte would cut a path short.
    struct {
        std::string url;
        std::optional<std::string> path;
    } cases[] = {{"/plain/path", "/plain/path"}, {"relative/file.bin", "relative/file.bin"},
        {"./odd:name", "./odd:name"}, {"file:///a/b.bin", "/a/b.bin"}, {"file://localhost/a", "/a"},
        {"File://LOCALHOST/a", "/a"}, {"file:/a", "/a"}, {"file:///a%20b%2Fc%25", "/a b/c%"},
        {"file:///a?query#fragment", "/a"}, {"file:///%E2%82%AC", "/\xE2\x82\xAC"},
        {"file://server/share/a", std::nullopt}, {"file://localhost", std::nullopt},
        {"file:a", std::nullopt}, {"file:///a%2", std::nullopt}, {"file:///a%zz", std::nullopt},
        {"file:///a%00b", std::nullopt}, {std::string("/a\0b", 4), std::nullopt},
        {"http://localhost/a", std::nullopt}, {"data:,hello", std::nullopt}, {"", std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(std::optional<std::string>(platform::localPathForURL(c.url)), c.path) << c.url;
}
