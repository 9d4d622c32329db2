#include "host/StaticFiles.h"

#include "support/HostFixture.h"

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

    struct Case {
        const char* path;
        int status;
    };
    const Case cases[] = {
        {"/probe.html", 200},
        {"/Images/current.png", 200},
        {"/a%20b.txt", 200},
        {"/alias.html", 200}, // a link that stays inside
        {"/Images", 404}, // no listings
        {"/", 404},
        {"//probe.html", 404},
        {"/missing.html", 404},
        {"/.hidden", 404},
        {"/leak.txt", 404}, // a link that leaves the folder
        {"/up/outside.txt", 404},
        {"/private.txt", 404}, // a link into the plug-in bundle
        {"/BridgeProbe.widgetplugin/Contents/Info.plist", 404},
        {"/BridgeProbe.widgetplugin/Contents/Resources/private.txt", 404},
        {"/BridgeProbe.widgetplugin/Contents/Linux/BridgeProbe.so", 404},
        {"/../outside.txt", 400},
        {"/Images/../probe.html", 400},
        {"/./probe.html", 400},
        {"/%2e%2e/outside.txt", 400},
        {"/%2E%2E/outside.txt", 400},
        {"/.%2e/outside.txt", 400},
        {"/Images%2f..%2fprobe.html", 400},
        {"/probe.html%00.png", 400},
        {"/..%5coutside.txt", 400},
        {"/Images\\current.png", 400},
        {"/bad%zz", 400},
        {"/bad%2", 400},
        {"probe.html", 400},
    };
    for (const auto& c : cases)
        EXPECT_EQ(files.resolve(c.path).status, c.status) << c.path;
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
