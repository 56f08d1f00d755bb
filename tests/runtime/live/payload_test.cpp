// ctest-link: kestrolive
// Reading a tag's value from a message in each payload form, and writing an operator's value.
#include "runtime/live/payload.h"
#include "runtime/script/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestro;
using namespace kestro::live;
using Form = TagSource::Payload;

namespace {

TagDef tagOf(VarType type, Form form, const char* pointer) {
    TagDef tag;
    tag.name = "Level";
    tag.type = type;
    tag.source.connection = "broker";
    tag.source.payload = form;
    tag.source.jsonPointer = pointer;
    return tag;
}

std::string shortest(double value) {
    char text[script::kNumberTextSize];
    return std::string(text, script::formatNumber(value, text));
}

// "=12.5" a number, "'open" a text, anything else the reason it was refused.
std::string outcome(const DecodedValue& value) {
    if (!value.ok) {
        return value.reason;
    }
    return value.isText ? "'" + value.text : "=" + shortest(value.number);
}

std::string nested(int depth, const std::string& inside) {
    return std::string(depth, '[') + inside + std::string(depth, ']');
}

struct DecodeRow {
    VarType type;
    Form form;
    const char* pointer;
    std::string message;
    std::string want;
};

TEST(Payload, DecodesEachFormOrSaysWhyNot) {
    const VarType F = VarType::Float, S = VarType::String;
    // clang-format off
    const DecodeRow rows[] = {
        {F, Form::Number, "", " 12.5\r\n", "=12.5"},
        {F, Form::Number, "", "-3", "=-3"},
        {F, Form::Number, "", "+.5", "=0.5"},
        {F, Form::Number, "", "5.", "=5"},
        {F, Form::Number, "", "1E3", "=1000"},
        {F, Form::Number, "", " abc ", "\"abc\" is not a number"},
        {F, Form::Number, "", "", "\"\" is not a number"},
        {F, Form::Number, "", "12abc", "\"12abc\" is not a number"},
        {F, Form::Number, "", "1 2", "\"1 2\" is not a number"},
        {F, Form::Number, "", "0x10", "\"0x10\" is not a number"},
        {F, Form::Number, "", "inf", "\"inf\" is not a number"},
        {F, Form::Number, "", "nan", "\"nan\" is not a number"},
        {F, Form::Number, "", "5e", "\"5e\" is not a number"},
        {F, Form::Number, "", "-.", "\"-.\" is not a number"},
        {F, Form::Number, "", "1e999", "\"1e999\" is out of range"},
        {F, Form::Number, "", "\x01" "1", "\"\\x011\" is not a number"},
        {F, Form::Number, "", std::string(40, 'a'), "\"" + std::string(32, 'a') + "...\" is not a number"},
        {F, Form::Number, "", std::string(31, 'a') + "\xC3\xA9", "\"" + std::string(31, 'a') + "...\" is not a number"},
        {S, Form::Number, "", " 07.50 ", "'07.50"},
        {F, Form::Text, "", "42", "=42"},
        {F, Form::Text, "", "open", "\"open\" is not a number"},
        {S, Form::Text, "", " open \xC3\xA9\xF0\x9F\x98\x80", "' open \xC3\xA9\xF0\x9F\x98\x80"},
        {S, Form::Text, "", "", "'"},
        {S, Form::Text, "", "a\xFF", "message is not UTF-8 text"},
        {S, Form::Text, "", "\xC0\x80", "message is not UTF-8 text"},
        {S, Form::Text, "", "\xED\xA0\x80", "message is not UTF-8 text"},
        {S, Form::Text, "", "\xF4\x90\x80\x80", "message is not UTF-8 text"},
        {S, Form::Text, "", "\xE2\x82", "message is not UTF-8 text"},
        {S, Form::Text, "", "\xC3(", "message is not UTF-8 text"},
        {F, Form::Json, "/a/b", R"({ "a" : { "b" : 12.5 } })", "=12.5"},
        {F, Form::Json, "/a/b", R"({"a":{"b":true}})", "=1"},
        {F, Form::Json, "/a", R"({"a":false,"b":[{},null,"x"]})", "=0"},
        {F, Form::Json, "", " -7e-1 ", "=-0.7"},
        {F, Form::Json, "/a~1b/c~0d", R"({"a/b":{"c~d":3},"a":{"b":{"c~d":4}}})", "=3"},
        {F, Form::Json, "/v/1", R"({"v":[1,2,3]})", "=2"},
        {F, Form::Json, "/", R"({"":9})", "=9"},
        {S, Form::Json, "/s", R"({"s":"\"\\\/\b\f\n\r\t\u00e9\ud83d\ude00"})", "'\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80"},
        {F, Form::Json, "/v/01", R"({"v":[1,2]})", "no member /v/01"},
        {F, Form::Json, "/v/2", R"({"v":[1,2]})", "no member /v/2"},
        {F, Form::Json, "/a/b", R"({"a":{},"b":1})", "no member /a/b"},
        {F, Form::Json, "/a", R"({"a":"1"})", "/a is a string, not a number"},
        {F, Form::Json, "/a", R"({"a":null})", "/a is null, not a number"},
        {F, Form::Json, "/a", R"({"a":[1]})", "/a is an array, not a number"},
        {F, Form::Json, "", R"({"a":1})", "the message is an object, not a number"},
        {S, Form::Json, "/a", R"({"a":1})", "/a is a number, not a string"},
        {S, Form::Json, "/a", R"({"a":true})", "/a is a boolean, not a string"},
        {F, Form::Json, "/a", R"({"a":1e999})", "/a \"1e999\" is out of range"},
        {F, Form::Json, "a/b", R"({})", "bad JSON pointer \"a/b\""},
        {F, Form::Json, "/a~2", R"({})", "bad JSON pointer \"/a~2\""},
        {F, Form::Json, "/a~", R"({})", "bad JSON pointer \"/a~\""},
        {F, Form::Json, "/a", "", "invalid JSON at offset 0"},
        {F, Form::Json, "/a", R"({"a":1,})", "invalid JSON at offset 7"},
        {F, Form::Json, "/a", R"({"a": tru})", "invalid JSON at offset 9"},
        {F, Form::Json, "/a", R"({"a":1,"b":})", "invalid JSON at offset 11"},
        {F, Form::Json, "/a", R"({"a":1} x)", "invalid JSON at offset 8"},
        {F, Form::Json, "/a", R"([1,2)", "invalid JSON at offset 4"},
        {F, Form::Json, "/a", R"({"a":01})", "invalid JSON at offset 6"},
        {F, Form::Json, "/a", R"({"a":1.})", "invalid JSON at offset 7"},
        {F, Form::Json, "/a", R"({"a":1e+})", "invalid JSON at offset 8"},
        {F, Form::Json, "/a", R"({"a":-})", "invalid JSON at offset 6"},
        {F, Form::Json, "/a", R"({"a" 1})", "invalid JSON at offset 5"},
        {F, Form::Json, "/a", R"({1:2})", "invalid JSON at offset 1"},
        {F, Form::Json, "/a", R"({"a":[1 2]})", "invalid JSON at offset 8"},
        {F, Form::Json, "/a", R"({"a":"x})", "invalid JSON at offset 8"},
        {F, Form::Json, "/a", "{\"a\":\"\x1F\"}", "invalid JSON at offset 6"},
        {F, Form::Json, "/a", "{\"a\":\"\xFF\"}", "invalid JSON at offset 6"},
        {F, Form::Json, "/a", R"({"a":"\q"})", "invalid JSON at offset 7"},
        {F, Form::Json, "/a", R"({"a":"\u12G4"})", "invalid JSON at offset 10"},
        {F, Form::Json, "/a", R"({"a":"\ud800"})", "invalid JSON at offset 6"},
        {F, Form::Json, "/a", R"({"a":"\ud800\u0041"})", "invalid JSON at offset 6"},
        {F, Form::Json, "/a", R"({"a":"\udc00"})", "invalid JSON at offset 6"},
        {F, Form::Json, "", nested(64, ""), "the message is an array, not a number"},
        {F, Form::Json, "", nested(65, ""), "JSON nested deeper than 64 levels at offset 64"},
        {F, Form::Number, "", std::string(65535, ' ') + "5", "=5"},
        {S, Form::Text, "", std::string(65537, 'x'), "message of 65537 bytes is over the 65536 limit"},
        {F, Form::Json, "", std::string(70000, ' '), "message of 70000 bytes is over the 65536 limit"},
    };
    // clang-format on
    for (const DecodeRow& row : rows) {
        SCOPED_TRACE(row.pointer + (" " + row.message.substr(0, 60)));
        EXPECT_EQ(outcome(decodePayload(tagOf(row.type, row.form, row.pointer), row.message)),
                  row.want);
    }
    // The message ends inside a character that the bytes after it would complete.
    EXPECT_EQ(outcome(decodePayload(tagOf(S, Form::Text, ""), std::string_view("\xE2\x82\xAC", 2))),
              "message is not UTF-8 text");
}

struct EncodeRow {
    Form form;
    const char* pointer;
    WriteValue value;
    std::string want; // the message, or "!" and the reason
};

TEST(Payload, EncodesAnOperatorsWriteInEachForm) {
    const double inf = std::numeric_limits<double>::infinity();
    const auto number = [](double n) { return WriteValue{n, "", false}; };
    const auto text = [](const char* t) { return WriteValue{0.0, t, true}; };
    // clang-format off
    const EncodeRow rows[] = {
        {Form::Number, "", number(12.5), "12.5"},
        {Form::Number, "", number(0.1), "0.1"},
        {Form::Number, "", number(-0.0), "0"},
        {Form::Number, "", number(1e21), "1e+21"},
        {Form::Number, "", text(" 7.50 "), "7.5"},
        {Form::Number, "", text("abc"), "!\"abc\" is not a number"},
        {Form::Number, "", number(std::nan("")), "!nan is not a finite number"},
        {Form::Number, "", number(-inf), "!-inf is not a finite number"},
        {Form::Text, "", text(" open \"x\"\n"), " open \"x\"\n"},
        {Form::Text, "", number(2.5), "2.5"},
        {Form::Json, "/a/b", number(12.5), R"({"a":{"b":12.5}})"},
        {Form::Json, "", number(4), "4"},
        {Form::Json, "/a~1b/c~0d", number(1), R"({"a/b":{"c~d":1}})"},
        {Form::Json, "/v/0", number(1), R"({"v":{"0":1}})"},
        {Form::Json, "/s", text("say \"hi\"\\\x1F\xC3\xA9"), R"({"s":"say \"hi\"\\\u001F)" "\xC3\xA9\"}"},
        {Form::Json, "/s", text("\xFF"), "!the text is not UTF-8"},
        {Form::Json, "/a", number(inf), "!inf is not a finite number"},
        {Form::Json, "a", number(1), "!bad JSON pointer \"a\""},
    };
    // clang-format on
    for (const EncodeRow& row : rows) {
        SCOPED_TRACE(row.pointer + (" " + row.want));
        std::string message = "untouched", reason;
        const bool sent = encodePayload(tagOf(VarType::Float, row.form, row.pointer), row.value,
                                        &message, &reason);
        EXPECT_EQ(sent ? message : "!" + reason, row.want);
    }
}

TEST(Payload, AWrittenNumberReadsBackExactly) {
    for (double value : {0.1, 1.0 / 3.0, -2.5e300, 1e-7, 123456789.125, 5e-324, 0.0}) {
        for (Form form : {Form::Number, Form::Text, Form::Json}) {
            const TagDef tag = tagOf(VarType::Float, form, form == Form::Json ? "/x/y" : "");
            std::string message, reason;
            ASSERT_TRUE(encodePayload(tag, WriteValue{value, "", false}, &message, &reason));
            const DecodedValue back = decodePayload(tag, message);
            EXPECT_TRUE(back.ok && back.number == value) << message << ": " << back.reason;
        }
    }
    const TagDef tag = tagOf(VarType::String, Form::Json, "/a~1/~0");
    std::string message, reason;
    const std::string text = "\"q\"\t\\ \xE2\x82\xAC";
    ASSERT_TRUE(encodePayload(tag, WriteValue{0.0, text, true}, &message, &reason));
    EXPECT_EQ(outcome(decodePayload(tag, message)), "'" + text);
}

} // namespace
