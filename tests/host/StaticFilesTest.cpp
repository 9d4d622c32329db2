#include "host/StaticFiles.h"

#include "support/HostFixture.h"
#include "support/UmbFixtures.h"

#include <gtest/gtest.h>

namespace {

TEST(StaticFilesTest, ServesOnlyRegularFilesInsideTheFolder)
{
    testing_support::ScratchWidget scratch;
    const auto& widget = scratch.widget();
    testing_support::writeText(widget / "Images/current.png", "png");
    testing_support::writeText(widget / "a b.txt", "spaced");
    testing_support::writeText(widget / ".hidden", "hidden");
    testing_support::writeText(scratch.root() / "outside.txt", "outside");
    std::filesystem::create_symlink(scratch.root() / "outside.txt", widget / "leak.txt");
    std::filesystem::create_symlink(scratch.root(), widget / "up");
    std::filesystem::create_symlink(widget / "probe.html", widget / "alias.html");
    std::filesystem::create_symlink(
        widget / "BridgeProbe.widgetplugin/Contents/Resources/private.txt", widget / "private.txt");
    host::StaticFiles files(widget.string(), {scratch.bundle().string()});

    for (const auto& row : testing_support::dataTable("static-paths.tsv"))
        EXPECT_EQ(files.resolve(row.at(0)).status, std::stoi(row.at(1))) << row[0];
    EXPECT_EQ(files.resolve(std::string_view("/probe.html\0.png", 16)).status, 400) << "raw NUL";

    auto answer = files.get("/a%20b.txt");
    EXPECT_EQ(answer.body, "spaced");
    EXPECT_EQ(answer.contentType, "text/plain; charset=utf-8");
}

TEST(StaticFilesTest, NamesContentTypesByExtension)
{
    struct Case {
        const char* name;
        const char* type;
    };
    const Case cases[] = {{"index.html", "text/html; charset=utf-8"},
        {"gloam.js", "text/javascript; charset=utf-8"}, {"gloam.css", "text/css; charset=utf-8"},
        {"current.PNG", "image/png"}, {"map.jpg", "image/jpeg"}, {"Info.plist", "application/xml"},
        {"manifest.webmanifest", "application/manifest+json"}, {"blob", "application/octet-stream"},
        {"x.html.bak", "application/octet-stream"}};
    for (const auto& c : cases)
        EXPECT_EQ(host::StaticFiles::contentType(c.name), c.type) << c.name;
}

} // namespace
