// The user's copy of a read-only widget: made whole, left alone while the
// widget is unchanged, made again when it changes, and the user's settings
// and picture kept through that; the widget copied is never written.
#include "cli/UserWidgetCopy.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using cli::CopyState;
using testing_support::readText;
using testing_support::writeText;

namespace {

const std::string kPlugin = "GloamPlugin.widgetplugin/Contents/Linux/GloamPlugin.so";
const std::string kSettings = "GloamPlugin.widgetplugin/Contents/Resources/user.plist";

} // namespace

TEST(UserWidgetCopyTest, MadeOnceRefreshedOnChangeKeepingTheUsersFiles)
{
    testing_support::TempDir dir;
    const fs::path installed = dir.path / "usr/Gloam.wdgt", copy = dir.path / "home/Gloam.wdgt";
    writeText(installed / "Info.plist", "info");
    writeText(installed / kPlugin, "plug-in 1");
    writeText(installed / kSettings, "shipped level");
    writeText(installed / "old.js", "dropped later");
    fs::create_directories(installed / "Images");

    ASSERT_EQ(cli::updateUserCopy(installed, copy), CopyState::Made);
    EXPECT_EQ(readText(copy / kPlugin), "plug-in 1");
    EXPECT_EQ(readText(copy / kSettings), "shipped level");
    EXPECT_TRUE(fs::is_directory(copy / "Images"));

    // The user's level and picture, then the same installed widget again.
    writeText(copy / kSettings, "user's level");
    writeText(copy / "Images/current.png", "picture");
    EXPECT_EQ(cli::updateUserCopy(installed, copy), CopyState::Current);
    EXPECT_EQ(readText(copy / kSettings), "user's level");

    // An upgrade: a new plug-in of another size, a file gone, new defaults.
    writeText(installed / kPlugin, "plug-in 2, larger");
    writeText(installed / kSettings, "new shipped level");
    fs::remove(installed / "old.js");
    EXPECT_EQ(cli::updateUserCopy(installed, copy), CopyState::Refreshed);
    EXPECT_EQ(readText(copy / kPlugin), "plug-in 2, larger");
    EXPECT_FALSE(fs::exists(copy / "old.js"));
    EXPECT_EQ(readText(copy / kSettings), "user's level");
    EXPECT_EQ(readText(copy / "Images/current.png"), "picture");
    EXPECT_EQ(cli::updateUserCopy(installed, copy), CopyState::Current);

    // Nothing is left beside the copy, and the installed widget is as it was.
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(copy.parent_path()))
        entries += entry.path() != copy;
    EXPECT_EQ(entries, 0);
    EXPECT_EQ(readText(installed / kSettings), "new shipped level");
    EXPECT_FALSE(fs::exists(installed / "Images/current.png"));
}

TEST(UserWidgetCopyTest, CopiesLiveUnderXdgDataHomeElseTheHomeFolder)
{
    struct {
        const char* dataHome;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/data", "/home/u", "/data/gloam"},
        {nullptr, "/home/u", "/home/u/.local/share/gloam"},
        {"", "/home/u", "/home/u/.local/share/gloam"},
        // The basedir rules ignore a relative path.
        {"relative/data", "/home/u", "/home/u/.local/share/gloam"},
    };
    for (const auto& c : cases) {
        testing_support::ScopedEnv env("XDG_DATA_HOME", c.dataHome);
        env.set("HOME", c.home);
        EXPECT_EQ(cli::userWidgetHome(), fs::path(c.expected)) << (c.dataHome ? c.dataHome : "-");
    }
}
