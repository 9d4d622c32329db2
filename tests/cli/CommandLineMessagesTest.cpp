// What `gloam` says to a person who mistypes: the closest known name, the
// help page to read, which option lacks its value; and that neither its
// errors nor its help pages show the option library's own wording.
#include "cli/RunGloam.h"

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
    struct {
        std::vector<std::string> arguments;
        std::vector<std::string> says; // every one of these, on standard error
    } cases[] = {
        {{"rendr", "-o", "x.png"},
            {"gloam: unknown command 'rendr'; did you mean 'render'?", "gloam --help"}},
        {{}, {"no command given", "coord, date, moon, render", "gloam --help"}},
        {{"--vresion"}, {"unknown option --vresion; did you mean --version?"}},
        {{"frobnicate"}, {"unknown command 'frobnicate'; the commands are animate, coord, date,"}},
        {{"render", "--tim", "now"},
            {"gloam render: unknown option --tim; did you mean --time?", "'gloam render --help'"}},
        {{"sun", "--obsrever", "1,2"}, {"unknown option --obsrever; did you mean --observer?"}},
        {{"render", "--proj", "miller"}, {"unknown option --proj; did you mean --projection?"}},
        {{"render", "-O", "x.png"}, {"unknown option -O; did you mean -o?"}},
        // Nothing near it: no guess, still the help to read.
        {{"date", "--zzzzzz"}, {"unknown option --zzzzzz\n", "'gloam date --help'"}},
        {{"sun", "time", "now"}, {"unexpected argument 'time'; did you mean --time?"}},
        {{"sun", "--json", "--", "x"}, {"unexpected argument 'x'"}},
        {{"sun", "--time"}, {"gloam sun: --time needs a value: the instant, ISO 8601"}},
        {{"render", "--time", "--grid", "30,30"}, {"--time needs a value"}},
        {{"render", "--time", "--jsno"}, {"--time needs a value"}},
        {{"render", "-o"}, {"-o needs a value: the picture file to write"}},
        {{"coord", "--ra", "1", "--ra", "2"}, {"--ra is given twice; give it once"}},
        {{"sun", "--json=maybe"}, {"--json takes no value"}},
        {{"serve", "--port", "99999"},
            {"--port: 99999 is out of range; a port lies from 0 to 65535"}},
        {{"serve", "--port", "x"}, {"--port: 'x' is not a whole number"}},
    };
    for (const auto& c : cases) {
        std::string what = "gloam";
        for (const auto& argument : c.arguments)
            what += " " + argument;
        const testing_cli::Outcome outcome = runGloam(c.arguments);
        EXPECT_EQ(outcome.status, 2) << what;
        EXPECT_EQ(outcome.out, "") << what;
        for (const std::string& phrase : c.says)
            EXPECT_NE(outcome.err.find(phrase), std::string::npos)
                << what << " says:\n"
                << outcome.err << "not: " << phrase;
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
