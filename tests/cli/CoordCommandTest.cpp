#include "cli/RunGloam.h"
#include "support/UmbFixtures.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace testing_cli;

TEST(CoordCommandTest, PrintsTheEngineTextForEachOptionAndRefusesBadValues)
{
    for (const auto& row : testing_support::dataTable("coord-lines.tsv")) {
        const auto arrow = std::find(row.begin(), row.end(), "=>");
        ASSERT_NE(arrow, row.end());
        std::vector<std::string> arguments = {"coord"};
        arguments.insert(arguments.end(), row.begin(), arrow);
        if (arrow[1] == "refused") {
            expectUsageError(arguments, arrow[2]);
            continue;
        }
        auto outcome = runGloam(arguments);
        EXPECT_EQ(outcome.status, 0) << row[0] << outcome.err;
        EXPECT_EQ(outcome.out, arrow[1]) << row[0];
    }
}
