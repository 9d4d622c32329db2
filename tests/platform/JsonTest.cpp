#include "platform/Json.h"

#include <gtest/gtest.h>

namespace {

using platform::JsonValue;
using platform::parseJson;
using platform::toJson;

TEST(JsonTest, ParsesStrictJsonAndRefusesTheRest)
{
    struct Case {
        const char* text;
        bool valid;
    };
    const Case cases[] = {
        {R"({"a":[1,2.5,true,null,"x"]})", true}, {"  [ ]  ", true}, {"0", true}, {"", false},
        {"{\"a\":1,}", false}, // trailing comma
        {"{\"a\":1} x", false}, // trailing text
        {"/* c */ {}", false}, // comments
        {"{'a':1}", false}, {"[NaN]", false}, {"\"\xC3\x28\"", false}, // not UTF-8
        {"[1e999]", false}, // overflows a double
    };
    for (const auto& c : cases) {
        std::string error;
        auto parsed = parseJson(c.text, &error);
        EXPECT_EQ(parsed.has_value(), c.valid) << c.text << ": " << error;
        if (!c.valid) {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

TEST(JsonTest, GivesKindsAndMembers)
{
    auto parsed
        = parseJson(R"({"n":-2.5,"s":"t","b":false,"z":null,"a":[1],"o":{},"n2":3,"n2":4})");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->find("n")->asNumber(), -2.5);
    EXPECT_EQ(parsed->find("s")->asString(), "t");
    EXPECT_FALSE(parsed->find("b")->asBool());
    EXPECT_TRUE(parsed->find("z")->isNull());
    EXPECT_STREQ(parsed->find("a")->kindName(), "an array");
    EXPECT_STREQ(parsed->find("o")->kindName(), "an object");
    EXPECT_EQ(parsed->find("n2")->asNumber(), 4) << "the last of a repeated name counts";
    EXPECT_EQ(parsed->find("missing"), nullptr);
    EXPECT_EQ(JsonValue(1.0).find("n"), nullptr) << "a number has no members";
}

TEST(JsonTest, BoundsNesting)
{
    std::string deep(10000, '[');
    deep += std::string(10000, ']');
    std::string error;
    EXPECT_FALSE(parseJson(deep, &error));
    EXPECT_NE(error.find("deeper than 64"), std::string::npos) << error;
    std::string shallow = std::string(64, '[') + std::string(64, ']');
    EXPECT_TRUE(parseJson(shallow)) << "64 levels are allowed";
}

TEST(JsonTest, WritesTextSafeForScriptAndForUtf8)
{
    struct Case {
        JsonValue value;
        const char* text;
    };
    const Case cases[] = {
        {JsonValue::Object {{"result", nullptr}}, R"({"result":null})"},
        {JsonValue(0.5), "0.5"},
        {JsonValue(1.0 / 0.0), "null"},
        {JsonValue("</script><!--"), R"("\u003c/script>\u003c!--")"},
        {JsonValue("a\xE2\x80\xA8"
                   "b"),
            R"("a\u2028b")"},
        {JsonValue("bad \xFF byte"), "\"bad \xEF\xBF\xBD byte\""},
        {JsonValue(JsonValue::Array {true, "x", 2.0}), R"([true,"x",2])"},
        // Whole numbers read as integers, up to 2^53; past it, and the
        // negative zero, keep the double's form.
        {JsonValue(2026.0), "2026"},
        {JsonValue(-12.0), "-12"},
        {JsonValue(1783166400000.0), "1783166400000"},
        {JsonValue(9007199254740992.0), "9007199254740992"},
        {JsonValue(1e300), "1e+300"},
        {JsonValue(-0.0), "-0.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(toJson(c.value), c.text) << c.text;
}

} // namespace
