#include "host/ScriptWindow.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

using platform::ScriptType;
using platform::Selector;

// A class that answers the three rules from tables, so that each rule can be
// varied on its own.
class TableClass final : public platform::ScriptClass {
public:
    std::vector<Selector> all;
    std::map<std::string, std::string> names;
    std::set<std::string> excluded;
    std::vector<std::string> fields;
    std::set<std::string> visibleFields;

    std::string className() const override { return "Table"; }
    std::vector<Selector> selectors() const override { return all; }
    std::vector<std::string> keys() const override { return fields; }
    std::optional<std::string> webScriptNameForSelector(const Selector& s) const override
    {
        auto it = names.find(s.name);
        return it == names.end() ? std::nullopt : std::optional(it->second);
    }
    bool isSelectorExcludedFromWebScript(const Selector& s) const override
    {
        return excluded.count(s.name);
    }
    bool isKeyExcludedFromWebScript(const std::string& key) const override
    {
        return !visibleFields.count(key);
    }
};

std::vector<std::string> scriptNames(const host::Exposure& exposure)
{
    std::vector<std::string> names;
    for (const auto& method : exposure.methods)
        names.push_back(method.scriptName + "=" + method.selector.name);
    return names;
}

TEST(ScriptWindowTest, ExposesExactlyWhatTheClassAllowsUnderItsNames)
{
    TableClass table;
    table.all = {{"getCurrentComposite", {}, ScriptType::String},
        {"setShadowLevel:", {ScriptType::Float}, ScriptType::Void},
        {"getShadowLevel", {}, ScriptType::Float}, {"readConfiguration", {}, ScriptType::Void},
        {"moveTo:by:", {ScriptType::Double, ScriptType::Double}, ScriptType::Void},
        {"odd_name:", {ScriptType::Int32}, ScriptType::Void}, {"badName", {}, ScriptType::Void},
        {"twin", {}, ScriptType::Void}};
    table.names
        = {{"getCurrentComposite", "getCurrentComposite"}, {"setShadowLevel:", "setShadowLevel"},
            {"getShadowLevel", "getShadowLevel"}, {"readConfiguration", "readConfiguration"},
            {"badName", "not an identifier"}, {"twin", "getShadowLevel"}};
    table.excluded = {"readConfiguration"};
    table.fields = {"appath", "alphalevel", "visible"};
    table.visibleFields = {"visible"};

    host::Exposure exposure = host::Exposure::of(table);
    EXPECT_EQ(scriptNames(exposure),
        (std::vector<std::string> {"getCurrentComposite=getCurrentComposite",
            "setShadowLevel=setShadowLevel:", "getShadowLevel=getShadowLevel",
            "moveTo_by_=moveTo:by:", "odd$_name_=odd_name:"}))
        << "excluded, unnameable and doubly named operations stay hidden; a missing name falls "
           "back";
    EXPECT_EQ(exposure.keys, std::vector<std::string> {"visible"});
    EXPECT_EQ(exposure.method("readConfiguration"), nullptr);
    ASSERT_NE(exposure.method("setShadowLevel"), nullptr);
    EXPECT_EQ(
        exposure.method("setShadowLevel")->selector.parameters, std::vector {ScriptType::Float});

    table.visibleFields.clear();
    table.excluded.insert("getCurrentComposite");
    exposure = host::Exposure::of(table);
    EXPECT_TRUE(exposure.keys.empty());
    EXPECT_EQ(exposure.method("getCurrentComposite"), nullptr) << "exclusion is asked each time";
}

TEST(ScriptWindowTest, ScriptIdentifiers)
{
    struct Case {
        const char* name;
        bool valid;
    };
    const Case cases[] = {{"GloamPlugin", true}, {"_a$1", true}, {"", false}, {"1a", false},
        {"a-b", false}, {"a b", false}, {"caf\xC3\xA9", false}, {"a\"b", false}};
    for (const auto& c : cases)
        EXPECT_EQ(host::isScriptIdentifier(c.name), c.valid) << c.name;
}

TEST(ScriptWindowTest, SetValueForKeyInstallsReplacesAndRemoves)
{
    struct Dummy final : platform::ScriptObject {
        TableClass table;
        const platform::ScriptClass& scriptClass() const override { return table; }
        platform::ScriptValue invoke(
            const Selector&, const std::vector<platform::ScriptValue>&) override
        {
            return {};
        }
    } first, second;
    host::ScriptWindow window;
    window.setValueForKey(&first, "A");
    window.setValueForKey(&second, "B");
    window.setValueForKey(&second, "A");
    window.setValueForKey(&first, "not valid");
    ASSERT_EQ(window.entries().size(), 2u);
    EXPECT_EQ(window.entries()[0].key, "A") << "replacing keeps the key's place";
    EXPECT_EQ(window.object("A"), &second);
    EXPECT_EQ(window.object("not valid"), nullptr);
    window.setValueForKey(nullptr, "A");
    EXPECT_EQ(window.object("A"), nullptr);
    EXPECT_EQ(window.entries().size(), 1u);
}

} // namespace
