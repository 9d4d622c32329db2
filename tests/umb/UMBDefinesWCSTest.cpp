#include "umb/UMBDefines.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

using umb::UMBDefines;
using umb::Worldcoor;

namespace {

std::vector<std::string> dumpLines(const Worldcoor& record)
{
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    UMBDefines::printWCS(record);
    std::fflush(stdout);
    std::string text = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(!text.empty() && text.back() == '\n') << "every line ends with a newline";
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

struct Line {
    size_t number; // counted from 1
    const char* text;
};

void expectLines(const std::vector<std::string>& lines, std::initializer_list<Line> expected)
{
    ASSERT_EQ(lines.size(), 110u);
    for (const Line& line : expected)
        EXPECT_EQ(lines[line.number - 1], line.text) << "line " << line.number;
}

Worldcoor zerosWithEmptyTexts()
{
    Worldcoor w;
    w.instrument = w.c1type = w.c2type = "";
    w.ptype = w.radecsys = w.sysout = w.center = "";
    return w;
}

} // namespace

TEST(UMBDefinesWCSTest, ZeroRecordPrintsTheNamedLines)
{
    expectLines(dumpLines(zerosWithEmptyTexts()),
        {
            {1, "xref 0.000000"},
            {33, "y_pixel_size 0.000000"},
            {34, "xpix 0.000000"},
            {37, "ypos 0.000000"},
            {38, "pcode 0"},
            {49, "detector 0"},
            {50, "instrument "},
            {53, "ptype "},
            {56, "center "},
            {57, "fCenterRa 0.000000"},
            {64, "degPerPixely 0.000000"},
            {65, "ppo_coeff[0] = 0.000000000000000"},
            {70, "ppo_coeff[5] = 0.000000000000000"},
            {71, "amd_x_coeff[0] = 0.000000000000000"},
            {90, "amd_x_coeff[19] = 0.000000000000000"},
            {91, "amd_y_coeff[0] = 0.000000000000000"},
            {110, "amd_y_coeff[19] = 0.000000000000000"},
        });
}

TEST(UMBDefinesWCSTest, EveryFieldLandsOnItsOwnLineInDumpOrder)
{
    Worldcoor w;
    w.xref = 1.5;
    w.yinc = -0.000277777;
    w.y_pixel_size = 33.25;
    w.ppo_coeff[5] = 0.123456789012345678;
    w.amd_x_coeff[19] = -1.0 / 3.0;
    w.amd_y_coeff[0] = 2.0;
    w.xpos = 12.3456789;
    w.pcode = -7;
    w.detector = 2147483647;
    w.instrument = "WFPC2";
    w.c2type = "DEC--TAN";
    w.center = "12:30:00 +45:00:00";
    w.fCenterRa = 187.5;
    w.degPerPixely = 1e-4;
    expectLines(dumpLines(w),
        {
            {1, "xref 1.500000"},
            {6, "yinc -0.000278"}, // six decimals, rounded to nearest
            {33, "y_pixel_size 33.250000"},
            {36, "xpos 12.345679"},
            {38, "pcode -7"},
            {49, "detector 2147483647"},
            {50, "instrument WFPC2"},
            {51, "c1type "}, // absent prints as an empty value
            {52, "c2type DEC--TAN"},
            {56, "center 12:30:00 +45:00:00"},
            {57, "fCenterRa 187.500000"},
            {64, "degPerPixely 0.000100"},
            {70, "ppo_coeff[5] = 0.123456789012346"},
            {90, "amd_x_coeff[19] = -0.333333333333333"},
            {91, "amd_y_coeff[0] = 2.000000000000000"},
        });
}

TEST(UMBDefinesWCSTest, AuxiliaryFieldsAreNeverPrinted)
{
    Worldcoor plain = zerosWithEmptyTexts();
    Worldcoor busy = plain;
    for (auto& text : busy.aux_strings)
        text = "aux";
    busy.aux_strings[7] = "line\nbreak";
    busy.aux_flag = -1;
    EXPECT_EQ(dumpLines(busy), dumpLines(plain));
}

TEST(UMBDefinesWCSTest, AbsentTextPrintsLikeAnEmptyOne)
{
    EXPECT_EQ(dumpLines(Worldcoor {}), dumpLines(zerosWithEmptyTexts()));
}
