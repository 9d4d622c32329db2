#include "cli/RunGloam.h"

#include <gtest/gtest.h>

using namespace testing_cli;

TEST(CoordCommandTest, PrintsTheEngineTextForEachOption)
{
    const struct {
        std::vector<std::string> arguments;
        const char* line;
    } cases[] = {
        {{"--ra", "5.5755"}, "05:34:31.800\n"},
        {{"--eso-ra", "12.5"}, "12+30+00.000\n"},
        {{"--dec", "22.0145"}, "+22:00:52.200\n"},
        {{"--eso-dec", "5.25"}, "05+15+00.000\n"},
        {{"--degrees", "-45.5"}, "45:30:00.000\n"},
        {{"--lat", "-33.8568"}, "S 33\xC2\xB0 51' 24.480\"\n"},
        {{"--lon", "151.2093"}, "E 151\xC2\xB0 12' 33.480\"\n"},
        {{"--equatorial", " 5.5755, 22.0145 ,1,2,3"},
            "RA 05:34:31.800 DEC +22:00:52.200  (1.0, 2.0)  3.0\n"},
        {{"--parse", "S 33 52 04"}, "-33.867777777777775\n"},
        {{"--parse", ""}, "0\n"},
        // Values beginning with a minus pass in both spellings.
        {{"--lon=-0.25"}, "W 00\xC2\xB0 15' 00.000\"\n"},
        {{"--parse=-12 30"}, "-12.5\n"},
        {{"--equatorial=-1.5,-2.5,0,0,0"}, "RA -01:30:00.000 DEC -02:30:00.000  (0.0, 0.0)  0.0\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"coord"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        auto outcome = runGloam(arguments);
        EXPECT_EQ(outcome.status, 0) << c.arguments[0] << outcome.err;
        EXPECT_EQ(outcome.out, c.line) << c.arguments[0];
    }
}

TEST(CoordCommandTest, BadValuesAndWrongOptionCountsExitWithStatusTwo)
{
    const struct {
        std::vector<std::string> arguments;
        const char* named;
    } cases[] = {
        {{"coord"}, "give one of"},
        {{"coord", "--ra", "1", "--dec", "2"}, "only one"},
        {{"coord", "--dec", "1e3"}, "1e3"},
        {{"coord", "--degrees", "3000000000"}, "too large"},
        {{"coord", "--equatorial", "1,2,3"}, "five"},
        {{"coord", "--equatorial", "1,2,3,4,x"}, "'x'"},
    };
    for (const auto& c : cases)
        expectUsageError(c.arguments, c.named);
}
