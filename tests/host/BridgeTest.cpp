#include "host/Bridge.h"
#include "host/WidgetHost.h"

#include "support/HostFixture.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using platform::JsonValue;
using platform::ScriptType;

JsonValue::Array argsOf(const std::string& json)
{
    auto parsed = platform::parseJson(json);
    return parsed && parsed->isArray() ? parsed->asArray() : JsonValue::Array {};
}

TEST(BridgeTest, ConvertsArgumentsOnlyWhenTheyFit)
{
    struct Case {
        std::vector<ScriptType> parameters;
        const char* args;
        const char* error; // empty: converts
    };
    using T = ScriptType;
    const Case cases[] = {
        {{T::Float}, "[0.5]", ""},
        {{T::Float}, "[0]", ""},
        {{T::Float}, "[-3e38]", ""},
        {{T::Float}, "[\"0.5\"]", "argument 1 of m must be a finite number, not a string"},
        {{T::Float}, "[null]", "argument 1 of m must be a finite number, not null"},
        {{T::Float}, "[true]", "argument 1 of m must be a finite number, not a boolean"},
        {{T::Float}, "[[1]]", "argument 1 of m must be a finite number, not an array"},
        {{T::Float}, "[1e39]",
            "argument 1 of m must be a number within the range of a 32-bit float"},
        {{T::Double}, "[1e300]", ""},
        {{T::Float}, "[]", "m takes 1 argument, not 0"},
        {{T::Float}, "[1, 2]", "m takes 1 argument, not 2"},
        {{}, "[1]", "m takes 0 arguments, not 1"},
        {{T::Int32}, "[2147483647]", ""},
        {{T::Int32}, "[2147483648]",
            "argument 1 of m must be an integer from -2147483648 to 2147483647"},
        {{T::Int32}, "[1.5]", "argument 1 of m must be an integer from -2147483648 to 2147483647"},
        {{T::Bool}, "[false]", ""},
        {{T::Bool}, "[0]", "argument 1 of m must be true or false, not a number"},
        {{T::String, T::Double}, "[\"a\", {}]",
            "argument 2 of m must be a finite number, not an object"},
        {{T::String}, "[\"\"]", ""},
    };
    for (const auto& c : cases) {
        host::ExposedMethod method {"m", {"m", c.parameters, ScriptType::Void}};
        auto converted = host::convertArguments(method, argsOf(c.args));
        if (*c.error) {
            ASSERT_TRUE(std::holds_alternative<std::string>(converted)) << c.args;
            EXPECT_EQ(std::get<std::string>(converted), c.error) << c.args;
        } else {
            EXPECT_TRUE(std::holds_alternative<std::vector<platform::ScriptValue>>(converted))
                << c.args;
        }
    }
}

TEST(BridgeTest, FloatArgumentsArriveRoundedToFloatAndReturnShortest)
{
    host::ExposedMethod method {"m", {"m:", {ScriptType::Float}, ScriptType::Void}};
    auto converted = host::convertArguments(method, argsOf("[0.1]"));
    ASSERT_TRUE(std::holds_alternative<std::vector<platform::ScriptValue>>(converted));
    double arrived = std::get<double>(std::get<std::vector<platform::ScriptValue>>(converted)[0]);
    EXPECT_EQ(arrived, static_cast<double>(0.1f));

    struct Case {
        ScriptType type;
        platform::ScriptValue value;
        const char* json;
    };
    const Case cases[] = {
        {ScriptType::Float, static_cast<double>(0.7f), "0.7"},
        {ScriptType::Float, static_cast<double>(1.0f / 3.0f), "0.33333334"},
        {ScriptType::Double, static_cast<double>(0.7f), "0.699999988079071"},
        {ScriptType::Float, std::nan(""), "null"},
        {ScriptType::Void, std::string("ignored"), "null"},
        {ScriptType::String, std::string("01-02-2024 03:04:05 PM UTC"),
            "\"01-02-2024 03:04:05 PM UTC\""},
        {ScriptType::Bool, true, "true"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::toJson(host::resultToJson(c.type, c.value)), c.json) << c.json;
    EXPECT_THROW(host::resultToJson(ScriptType::String, 1.0), std::logic_error);
}

class BridgeCallTest : public ::testing::Test {
protected:
    platform::HttpResponse call(const std::string& body)
    {
        platform::HttpRequest request {"POST", "/_bridge/call", {}, body};
        return host.answer(request);
    }

    testing_support::ScratchWidget scratch;
    host::WidgetHost host {scratch.widget().string()};
};

TEST_F(BridgeCallTest, AnswersEachCallWithItsStatus)
{
    struct Case {
        const char* body;
        int status;
        const char* answer;
    };
    const Case cases[] = {
        {R"({"object":"BridgeProbe","method":"getLevel","args":[]})", 200, R"({"result":0.25})"},
        {R"({"object":"BridgeProbe","method":"setLevel","args":[0.75]})", 200,
            R"({"result":null})"},
        {R"({"object":"BridgeProbe","method":"getLevel","args":[]})", 200, R"({"result":0.75})"},
        {R"({"object":"BridgeProbe","method":"setLevel","args":["0.1"]})", 400,
            R"({"error":"argument 1 of setLevel must be a finite number, not a string"})"},
        {R"({"object":"BridgeProbe","method":"getLevel","args":[]})", 200, R"({"result":0.75})"},
        {R"({"object":"BridgeProbe","method":"echo","args":["é</script>"]})", 200,
            R"({"result":"é\u003c/script>"})"},
        {R"({"object":"BridgeProbe","method":"scale","args":[1.5,4]})", 200, R"({"result":6})"},
        {R"({"object":"BridgeProbe","method":"unnamed_with_","args":[2,3]})", 200,
            R"({"result":5})"},
        {R"({"object":"BridgeProbe","key":"motto"})", 200, R"({"result":"probing"})"},
        {R"({"object":"BridgeProbe","method":"secret","args":[]})", 404,
            R"({"error":"BridgeProbe has no method secret"})"},
        {R"({"object":"BridgeProbe","method":"level","args":[]})", 404,
            R"({"error":"BridgeProbe has no method level"})"},
        {R"({"object":"BridgeProbe","key":"secretKey"})", 404,
            R"({"error":"BridgeProbe has no field secretKey"})"},
        {R"({"object":"GloamPlugin","method":"getShadowLevel","args":[]})", 404,
            R"({"error":"there is no script object GloamPlugin"})"},
        {R"({"object":"BridgeProbe","method":"getLevel"})", 400,
            R"({"error":"the call must give its arguments as an array"})"},
        {R"({"object":"BridgeProbe","method":"getLevel","args":{}})", 400,
            R"({"error":"the call must give its arguments as an array"})"},
        {R"({"method":"getLevel","args":[]})", 400,
            R"({"error":"the call must name its object as a string"})"},
        {R"({"object":"BridgeProbe","method":7,"args":[]})", 400,
            R"({"error":"the call must name its method as a string"})"},
        {R"({"object":"BridgeProbe","method":"getLevel","key":"motto","args":[]})", 400,
            R"({"error":"the call must name a method or a key, not both"})"},
        {R"([1])", 400, R"({"error":"the call must be a JSON object, not an array"})"},
    };
    for (const auto& c : cases) {
        auto answer = call(c.body);
        EXPECT_EQ(answer.status, c.status) << c.body;
        EXPECT_EQ(answer.body, std::string(c.answer) + "\n") << c.body;
        EXPECT_EQ(answer.contentType, "application/json; charset=utf-8") << c.body;
    }
    for (const char* broken :
        {"{\"object\":", R"({"object":"BridgeProbe","method":"setLevel","args":[1e999]})"}) {
        auto answer = call(broken);
        EXPECT_EQ(answer.status, 400) << broken;
        EXPECT_NE(answer.body.find("the call is not JSON"), std::string::npos) << answer.body;
    }
}

TEST_F(BridgeCallTest, TheScriptOffersExactlyTheExposedNames)
{
    auto script = host.answer({"GET", "/_bridge/bridge.js", {}, {}});
    EXPECT_EQ(script.status, 200);
    EXPECT_EQ(script.contentType, "text/javascript; charset=utf-8");
    const std::string objects
        = R"({"BridgeProbe":{"keys":["motto"],"methods":[)"
          R"({"name":"setLevel","returns":false},{"name":"getLevel","returns":true},)"
          R"({"name":"echo","returns":true},{"name":"scale","returns":true},)"
          R"({"name":"unnamed_with_","returns":true},)"
          R"({"name":"bundlePath","returns":true},{"name":"slowTick","returns":true},)"
          R"({"name":"callStats","returns":true}]}})";
    EXPECT_NE(script.body.find("var objects = " + objects + ";"), std::string::npos) << script.body;
    EXPECT_EQ(script.body.find("secret"), std::string::npos);
}

TEST_F(BridgeCallTest, ThePluginFindsTheBundleTheHostRegistered)
{
    auto answer = call(R"({"object":"BridgeProbe","method":"bundlePath","args":[]})");
    EXPECT_EQ(answer.body, "{\"result\":" + platform::toJson(scratch.bundle().string()) + "}\n");
}

} // namespace
