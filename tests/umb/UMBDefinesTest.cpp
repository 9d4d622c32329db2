#include "umb/UMBDefines.h"

#include "support/UmbFixtures.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>

using umb::UMBDefines;
using umb::Worldcoor;

namespace {

std::vector<std::string> dumpLines(const Worldcoor& record)
{
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    UMBDefines::printWCS(record);
    std::fflush(stdout);
    std::istringstream in(testing::internal::GetCapturedStdout());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(UMBDefinesTest, VisibilityIsTheGeometricHorizon)
{
    struct {
        double lon1, lat1, lon2, lat2;
        bool visible;
    } cases[]
        = {{0, 0, 0, 0, true}, {0, 0, 90, 0, true}, // exactly 90 degrees apart counts as visible
            {0, 0, 90.001, 0, false}, {0, 0, 180, 0, false},
            {0, 90, 0, 0, true}, // the pole sees the equatorial Sun on its horizon
            {0, 66.6, 0, 23.4, true}, {180, 70, 0, 23.4, true}, // midnight sun
            {180, 60, 0, 23.4, false}, {10, -12, 10, -12, true}, // rounds just above 1 unclamped
            {-75, 40, -75.0000001, 40, true}, {0, NAN, 0, 0, false}, {0, 40, 0, -55, false},
            {0, -40, 0, 55, false}, {30, 10, -65, 20, false}};
    for (auto c : cases) {
        EXPECT_EQ(UMBDefines::pointIsVisible(c.lon1, c.lat1, c.lon2, c.lat2), c.visible)
            << "(" << c.lon1 << ", " << c.lat1 << ") sees (" << c.lon2 << ", " << c.lat2 << ")";
        EXPECT_EQ(UMBDefines::pointIsVisible(c.lon2, c.lat2, c.lon1, c.lat1), c.visible)
            << "not symmetric";
    }
}

TEST(UMBDefinesTest, AngleReductions)
{
    struct {
        double (*fn)(double);
        double in, out;
    } cases[] = {// range reduces by division ...
        {umb::range, -30, 330}, {umb::range, 720, 0}, {umb::range, -360, 0},
        {umb::range, 370, 9.999999999999964}, {umb::range, 359.5, 359.5},
        // ... the others by steps, keeping the upper end point
        {umb::range360, 360, 360}, {umb::range360, -360, 0}, {umb::range360, 725, 5},
        {umb::range360, 720, 360}, {umb::range360, -1, 359}, {umb::range360, 0, 0},
        {umb::range360, 3.6e9, 360}, {umb::range360, -3.6e9, 0}, {umb::range360, 3.6e9 + 10, 10},
        {umb::range360, 1e300, 360}, // 1e300 is a whole number of turns
        {umb::range24, -1, 23}, {umb::range24, 24, 24}, {umb::range24, 25, 1},
        {umb::range24, 48, 24}, {umb::range24, -24, 0}, {umb::range24, 2.4e8 + 1, 1},
        {umb::ipart, -2.5, -2}, {umb::ipart, 2.5, 2}, {umb::ipart, -0.9, 0}};
    for (auto c : cases)
        EXPECT_DOUBLE_EQ(c.fn(c.in), c.out) << c.in;
    for (double bad : {INFINITY, -INFINITY, NAN})
        EXPECT_TRUE(std::isnan(umb::range360(bad)) && std::isnan(umb::range24(bad))) << bad;
    struct {
        double value;
        int32_t places;
        double out;
    } roundings[] = {{3.14159, 2, 3.14}, {2.5, 0, 3}, {-0.5, 0, -1}, {1234.5, -2, 1200},
        {-1250, -2, -1300}, {1.005, 2, 1.0}}; // 1.005 is stored a hair below
    for (auto c : roundings)
        EXPECT_EQ(umb::roundDecimal(c.value, c.places), c.out) << c.value << " to " << c.places;
}

TEST(UMBDefinesTest, DegreeTrigonometryAndConversions)
{
    const double pi = 3.141592653589793;
    const double cases[][2] = {{umb::datan2(1, -1), 135}, {umb::datan2(-1, -1), -135},
        {umb::hrrad(12), pi}, {umb::radhr(pi), 12}, {umb::deghr(-15), -1}, {umb::hrdeg(1.5), 22.5},
        {umb::degrad(180), pi}, {umb::raddeg(pi / 2), 90}, {umb::dsin(30), 0.5},
        {umb::dcos(60), 0.5}, {umb::dtan(45), 1}, {umb::dasin(0.5), 30}, {umb::dacos(0.5), 60},
        {umb::datan(1), 45}};
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_NEAR(cases[i][0], cases[i][1], 1e-12) << "row " << i;
    EXPECT_TRUE(std::isnan(umb::dasin(1.5)) && std::isnan(umb::dacos(-1.5)));
}

TEST(UMBDefinesTest, WorldcoorDumpLinesInOrder)
{
    // A fresh record: zeros and absent texts, which print as empty ones.
    std::vector<std::string> want;
    for (const auto& row : testing_support::dataTable("worldcoor-zero-dump.txt"))
        want.push_back(row.at(0));
    ASSERT_EQ(want.size(), 110u);
    Worldcoor w;
    EXPECT_EQ(dumpLines(w), want);

    // Values in their formats; the auxiliary fields are never printed.
    w.yinc = -0.000277777;
    w.xpos = 12.3456789;
    w.pcode = -7;
    w.detector = 2147483647;
    w.instrument = "WFPC2";
    w.center = "12:30:00 +45:00:00";
    w.ppo_coeff[5] = 0.123456789012345678;
    w.amd_x_coeff[19] = -1.0 / 3.0;
    w.aux_strings[7] = "line\nbreak";
    w.aux_flag = -1;
    want[5] = "yinc -0.000278"; // six decimals, rounded to nearest
    want[35] = "xpos 12.345679";
    want[37] = "pcode -7";
    want[48] = "detector 2147483647";
    want[49] = "instrument WFPC2";
    want[55] = "center 12:30:00 +45:00:00";
    want[69] = "ppo_coeff[5] = 0.123456789012346";
    want[89] = "amd_x_coeff[19] = -0.333333333333333";
    EXPECT_EQ(dumpLines(w), want);
}
