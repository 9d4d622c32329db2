#include "platform/Bundle.h"

#include "platform/PropertyList.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using testing_support::TempDir;

TEST(BundleTest, RegistryFindsTheLatestPathOfAnIdentifier)
{
    platform::clearBundleRegistryForTesting();
    EXPECT_FALSE(platform::bundlePathForIdentifier("org.example.a"));
    platform::registerBundle("org.example.a", "/x/A.bundle");
    platform::registerBundle("org.example.b", "/x/B.bundle");
    platform::registerBundle("org.example.a", "/y/A.bundle");
    EXPECT_EQ(platform::bundlePathForIdentifier("org.example.a"), "/y/A.bundle");
    EXPECT_EQ(platform::bundlePathForIdentifier("org.example.b"), "/x/B.bundle");
    EXPECT_FALSE(platform::bundlePathForIdentifier("org.example"));
    platform::clearBundleRegistryForTesting();
    EXPECT_FALSE(platform::bundlePathForIdentifier("org.example.a"));
}

TEST(BundleTest, IdentifierComesFromContentsInfoPlist)
{
    TempDir dir;
    std::filesystem::create_directories(dir.path / "A.bundle/Contents");
    EXPECT_FALSE(platform::readBundleIdentifier(dir / "A.bundle"));
    platform::PropertyList info;
    info.setString("CFBundleName", "A");
    ASSERT_TRUE(info.writeToFile(dir / "A.bundle/Contents/Info.plist"));
    EXPECT_FALSE(platform::readBundleIdentifier(dir / "A.bundle"));
    info.setString("CFBundleIdentifier", "org.example.a");
    ASSERT_TRUE(info.writeToFile(dir / "A.bundle/Contents/Info.plist"));
    EXPECT_EQ(platform::readBundleIdentifier(dir / "A.bundle"), "org.example.a");
}
