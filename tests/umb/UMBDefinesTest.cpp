#include "umb/UMBDefines.h"

#include "support/UmbFixtures.h"

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
