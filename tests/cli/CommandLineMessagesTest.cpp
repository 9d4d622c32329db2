// What `gloam` says to a person who mistypes: the closest known name, the
// help page to read, which option lacks its value; and that neither its
// errors nor its help pages show the option library's own wording.
#include "cli/RunGloam.h"

#include "support/UmbFixtures.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <regex>

using testing_cli::runGloam;

namespace {

// Phrases and placeholders of the option library that mean nothing to a
// person reading the help or an error.
void expectNoLibraryWording(const std::string& text, const std::string& what)
{
    static const std::regex wording(
        "subcommand is required|not expected|required but received|\\d+ required \\S+ missing|"
        "\\bINT\\b|\\bTEXT\\b|\\bFLOAT\\b|\\bUINT\\b|in \\[\\d+ - \\d+\\]|SUBCOMMAND|"
        "Could not convert|ArgumentMismatch|ExtrasError");
    std::smatch found;
    EXPECT_FALSE(std::regex_search(text, found, wording)) << what << ": '" << found.str() << "'";
}

} // namespace

TEST(CommandLineMessagesTest, EachMistakeNamesTheRemedy)
{
    for (const auto& row : testing_support::dataTable("command-line-mistakes.tsv")) {
        const auto arrow = std::find(row.begin(), row.end(), "=>");
        ASSERT_NE(arrow, row.end());
        const std::vector<std::string> arguments(row.begin(), arrow);
        std::string what = "gloam";
        for (const auto& argument : arguments)
            what += " " + argument;
        const testing_cli::Outcome outcome = runGloam(arguments);
        EXPECT_EQ(outcome.status, 2) << what;
        EXPECT_EQ(outcome.out, "") << what;
        for (auto phrase = arrow + 1; phrase != row.end(); ++phrase)
            EXPECT_NE(outcome.err.find(*phrase), std::string::npos)
                << what << " says:\n"
                << outcome.err << "not: " << *phrase;
        expectNoLibraryWording(outcome.err, what);
    }
    // Help asked for beside a mistake is still help (a negative value after
    // its option passes too: the coord tests).
    EXPECT_EQ(runGloam({"render", "--tim", "--help"}).status, 0);
}

TEST(CommandLineMessagesTest, HelpPagesSpeakOnlyGloamsWords)
{
    const testing_cli::Outcome top = runGloam({"--help"});
    ASSERT_EQ(top.status, 0);
    expectNoLibraryWording(top.out, "gloam --help");
    // Every command listed under "Commands:", each with its own page.
    const std::string list = top.out.substr(top.out.find("Commands:"));
    std::regex line("\n  ([a-z]+) ");
    int pages = 0;
    for (std::sregex_iterator it(list.begin(), list.end(), line), end; it != end; ++it, ++pages) {
        const std::string command = (*it)[1];
        const testing_cli::Outcome help = runGloam({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("Usage: gloam " + command), std::string::npos) << command;
        expectNoLibraryWording(help.out, command + " --help");
    }
    EXPECT_GE(pages, 7);
}
