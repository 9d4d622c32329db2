// JSON for the widget host: strict parsing with a reason for each refusal,
// bounded nesting, and text that is safe inside a script element.
#include "platform/Json.h"

#include <gtest/gtest.h>

using platform::JsonValue;
using platform::parseJson;
using platform::toJson;

TEST(JsonTest, ParsesStrictJsonAndRefusesTheRestSayingWhy)
{
    // Trailing commas and text, comments, single quotes, NaN, bytes that are
    // not UTF-8, numbers past a double's range; nesting past 64 levels.
    for (const char* valid : {R"({"a":[1,2.5,true,null,"x"]})", "  [ ]  ", "0"})
        EXPECT_TRUE(parseJson(valid)) << valid;
    const std::string deep = std::string(65, '[') + std::string(65, ']');
    for (std::string invalid : {"", "{\"a\":1,}", "{\"a\":1} x", "/* c */ {}", "{'a':1}", "[NaN]",
             "\"\xC3\x28\"", "[1e999]", deep.c_str()}) {
        std::string error;
        EXPECT_FALSE(parseJson(invalid, &error)) << invalid;
        EXPECT_FALSE(error.empty()) << invalid;
    }
    EXPECT_TRUE(parseJson(deep.substr(1, 128))) << "64 levels are allowed";
    std::string error;
    parseJson(std::string(10000, '[') + std::string(10000, ']'), &error);
    EXPECT_NE(error.find("deeper than 64"), std::string::npos) << error;
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

TEST(JsonTest, WritesTextSafeForScriptAndForUtf8)
{
    // Whole numbers read as integers, up to 2^53; past it, and the negative
    // zero, keep the double's form.
    struct {
        JsonValue value;
        const char* text;
    } cases[] = {{JsonValue::Object {{"result", nullptr}}, R"({"result":null})"}, {0.5, "0.5"},
        {1.0 / 0.0, "null"}, {"</script><!--", R"("\u003c/script>\u003c!--")"},
        {"a\u2028b", R"("a\u2028b")"}, {"bad \xFF byte", "\"bad \uFFFD byte\""},
        {JsonValue::Array {true, "x", 2.0}, R"([true,"x",2])"}, {2026.0, "2026"}, {-12.0, "-12"},
        {1783166400000.0, "1783166400000"}, {9007199254740992.0, "9007199254740992"},
        {1e300, "1e+300"}, {-0.0, "-0.0"}};
    for (const auto& c : cases)
        EXPECT_EQ(toJson(c.value), c.text) << c.text;
}
