#include "cli/RunGloam.h"

#include <gtest/gtest.h>

using testing_cli::runGloam;

TEST(CoordCommandTest, PrintsTheEngineTextForEachOption)
{
    struct {
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
        {{"--equatorial", "5.5755,22.0145,1,2,3"},
            "RA 05:34:31.800 DEC +22:00:52.200  (1.0, 2.0)  3.0\n"},
        {{"--equatorial", " 5.5755, 22.0145 ,1,2,3"},
            "RA 05:34:31.800 DEC +22:00:52.200  (1.0, 2.0)  3.0\n"},
        {{"--parse", "S 33 52 04"}, "-33.867777777777775\n"},
        {{"--parse", "12:30:36"}, "12.51\n"},
        {{"--parse", ""}, "0\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"coord"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        auto outcome = runGloam(arguments);
        EXPECT_EQ(outcome.status, 0) << c.arguments[0] << " " << c.arguments[1] << outcome.err;
        EXPECT_EQ(outcome.out, c.line) << c.arguments[0] << " " << c.arguments[1];
    }
}

TEST(CoordCommandTest, ValuesBeginningWithMinusPassInBothSpellings)
{
    struct {
        std::vector<std::string> arguments;
        const char* line;
    } cases[] = {
        {{"coord", "--dec", "-0.5"}, "-00:30:00.000\n"},
        {{"coord", "--dec=-0.5"}, "-00:30:00.000\n"},
        {{"coord", "--eso-dec=-5.25"}, "-05+15+00.000\n"},
        {{"coord", "--lon=-0.25"}, "W 00\xC2\xB0 15' 00.000\"\n"},
        {{"coord", "--ra", "-5.5"}, "-05:30:00.000\n"},
        {{"coord", "--parse", "-12 30"}, "-12.5\n"},
        {{"coord", "--parse=-12 30"}, "-12.5\n"},
        {{"coord", "--equatorial=-1.5,-2.5,0,0,0"},
            "RA -01:30:00.000 DEC -02:30:00.000  (0.0, 0.0)  0.0\n"},
    };
    for (const auto& c : cases) {
        auto outcome = runGloam(c.arguments);
        EXPECT_EQ(outcome.status, 0) << c.arguments[1] << outcome.err;
        EXPECT_EQ(outcome.out, c.line) << c.arguments[1];
    }
}

TEST(CoordCommandTest, BadValuesAndWrongOptionCountsExitWithStatusTwo)
{
    std::vector<std::string> cases[] = {
        {"coord"},
        {"coord", "--ra", "1", "--dec", "2"},
        {"coord", "--dec", "abc"},
        {"coord", "--dec", "1e3"},
        {"coord", "--dec", "12,5"},
        {"coord", "--dec="},
        {"coord", "--lat", "12 30"},
        {"coord", "--degrees", "3000000000"},
        {"coord", "--equatorial", "1,2,3"},
        {"coord", "--equatorial", "1,2,3,4,x"},
        {"coord", "--dec"},
        {"coord", "--ra", "1", "--ra", "2"},
    };
    for (const auto& arguments : cases) {
        auto outcome = runGloam(arguments);
        std::string line;
        for (const auto& a : arguments)
            line += a + " ";
        EXPECT_EQ(outcome.status, 2) << line;
        EXPECT_EQ(outcome.out, "") << line;
        EXPECT_FALSE(outcome.err.empty()) << line << "needs a message";
    }
}

TEST(CoordCommandTest, HelpShowsEveryOptionWithAnExample)
{
    auto outcome = runGloam({"coord", "--help"});
    EXPECT_EQ(outcome.status, 0);
    for (const char* text : {"--ra", "--eso-ra", "--dec", "--eso-dec", "--degrees", "--lat",
             "--lon", "--equatorial", "--parse", "05:34:31.800", "--dec=-0.5"})
        EXPECT_NE(outcome.out.find(text), std::string::npos) << text;
}
