#include "cli/CommandLineCheck.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace cli {

namespace {

std::string bare(std::string_view name)
{
    while (!name.empty() && name.front() == '-')
        name.remove_prefix(1);
    std::string lower(name);
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// Edits between two names, a swap of neighbours counting as one (the
// optimal string alignment distance): typing errors are mostly single.
size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::string didYouMean(std::string_view typed, const std::vector<std::string>& known)
{
    std::optional<std::string> closest = closestName(typed, known);
    return closest ? "; did you mean " + *closest + "?" : "";
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::vector<std::string> optionNames(const CLI::App& app)
{
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames())
            names.push_back("--" + name);
        for (const std::string& name : option->get_snames())
            names.push_back("-" + name);
    }
    return names;
}

bool asksForHelp(const std::vector<std::string>& arguments, size_t from)
{
    for (size_t i = from; i < arguments.size() && arguments[i] != "--"; ++i) {
        if (arguments[i] == "-h" || arguments[i] == "--help")
            return true;
    }
    return false;
}

// The name part of an option word and the value joined to it ("--time=now",
// "-ofile.png"), or none for a word the option library reads as a value:
// anything without a leading dash, and negative numbers.
struct OptionWord {
    std::string name;
    std::optional<std::string> joined;
};

std::optional<OptionWord> optionWord(const CLI::App& app, const std::string& word)
{
    if (word.size() > 2 && word.starts_with("--")) {
        const size_t equals = word.find('=');
        if (equals == std::string::npos)
            return OptionWord {word, std::nullopt};
        return OptionWord {word.substr(0, equals), word.substr(equals + 1)};
    }
    if (word.size() > 1 && word[0] == '-' && word[1] != '-') {
        const std::string name = word.substr(0, 2);
        if (std::isdigit(static_cast<unsigned char>(word[1])) && !app.get_option_no_throw(name))
            return std::nullopt;
        if (word.size() == 2)
            return OptionWord {name, std::nullopt};
        return OptionWord {name, word.substr(2)};
    }
    return std::nullopt;
}

// "The instant, ISO 8601: ..." read as the rest of a sentence.
std::string asClause(std::string description)
{
    if (description.size() > 1 && std::isupper(static_cast<unsigned char>(description[0]))
        && std::islower(static_cast<unsigned char>(description[1])))
        description[0] = char(std::tolower(static_cast<unsigned char>(description[0])));
    return description;
}

std::optional<Mistake> findInCommand(
    const CLI::App& command, const std::vector<std::string>& arguments, size_t from)
{
    const std::string name = command.get_name();
    const std::string help = "\nRun 'gloam " + name + " --help' for its options.";
    const std::vector<std::string> known = optionNames(command);
    const bool takesWords
        = !command.get_options([](const CLI::Option* option) { return option->get_positional(); })
               .empty();
    std::map<const CLI::Option*, int> given;
    for (size_t i = from; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "--") {
            if (!takesWords && i + 1 < arguments.size())
                return Mistake {name, "unexpected argument '" + arguments[i + 1] + "'" + help};
            return std::nullopt;
        }
        std::optional<OptionWord> option = optionWord(command, word);
        if (!option) {
            if (takesWords)
                continue;
            return Mistake {
                name, "unexpected argument '" + word + "'" + didYouMean(word, known) + help};
        }
        const CLI::Option* found = command.get_option_no_throw(option->name);
        if (!found)
            return Mistake {
                name, "unknown option " + option->name + didYouMean(option->name, known) + help};
        const bool takesValue = found->get_items_expected_max() > 0;
        if (!takesValue && option->joined)
            return Mistake {name, option->name + " takes no value" + help};
        if (takesValue && !option->joined) {
            // A value may begin with '-' (a negative number, a western
            // longitude), but none begins with '--' and a letter.
            const bool valueFollows = i + 1 < arguments.size()
                && !command.get_option_no_throw(arguments[i + 1])
                && !(arguments[i + 1].starts_with("--") && arguments[i + 1].size() > 2
                    && std::isalpha(static_cast<unsigned char>(arguments[i + 1][2])))
                && arguments[i + 1] != "--";
            if (!valueFollows)
                return Mistake {name,
                    option->name + " needs a value: " + asClause(found->get_description()) + help};
            ++i;
        }
        if (takesValue && ++given[found] == 2
            && found->get_multi_option_policy() == CLI::MultiOptionPolicy::Throw)
            return Mistake {name, option->name + " is given twice; give it once" + help};
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> closestName(
    std::string_view typed, const std::vector<std::string>& known)
{
    const std::string word = bare(typed);
    if (word.empty())
        return std::nullopt;
    // One letter in three may be wrong, but a one- or two-letter name only
    // in its case: any short name is one edit from any other.
    const size_t allowed = word.size() <= 2 ? 0 : word.size() <= 5 ? 1 : 2;
    std::optional<std::string> best;
    size_t bestDistance = allowed + 1;
    for (const std::string& name : known) {
        const size_t distance = editDistance(word, bare(name));
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    if (best || word.size() < 2)
        return best;
    for (const std::string& name : known) {
        if (bare(name).starts_with(word)) {
            if (best)
                return std::nullopt; // two begin so: either may be meant
            best = name;
        }
    }
    return best;
}

std::optional<Mistake> findMistake(const CLI::App& app, const std::vector<std::string>& arguments)
{
    std::vector<std::string> commands;
    for (const CLI::App* command : app.get_subcommands({}))
        commands.push_back(command->get_name());
    const std::string help = "\nRun 'gloam --help' for the commands and their options.";
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "-h" || word == "--help" || word == "--version")
            return std::nullopt;
        if (std::optional<OptionWord> option = optionWord(app, word)) {
            if (app.get_option_no_throw(option->name))
                continue;
            return Mistake {
                "", "unknown option " + option->name + didYouMean(word, optionNames(app)) + help};
        }
        const CLI::App* command = nullptr;
        for (const CLI::App* candidate : app.get_subcommands({}))
            command = candidate->check_name(word) ? candidate : command;
        if (!command) {
            std::optional<std::string> closest = closestName(word, commands);
            return Mistake {"",
                "unknown command '" + word + "'"
                    + (closest ? "; did you mean '" + *closest + "'?"
                               : "; the commands are " + joined(commands))
                    + help};
        }
        if (asksForHelp(arguments, i + 1))
            return std::nullopt;
        return findInCommand(*command, arguments, i + 1);
    }
    return Mistake {"", "no command given; the commands are " + joined(commands) + help};
}

} // namespace cli
