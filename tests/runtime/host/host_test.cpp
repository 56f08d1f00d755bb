// The host services the module calls, and resetHost returning them all to their start.
#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/linguist.h"
#include "kestrovalumen/host/logger.h"
#include "kestrovalumen/host/rtdb.h"
#include "kestrovalumen/host/rtti.h"
#include "kestrovalumen/host/stgy.h"
#include "kestrovalumen/host/toolscom.h"
#include "runtime/host/gui.h"
#include "runtime/host/linguist.h"
#include "runtime/host/logger.h"
#include "runtime/host/registry.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/script.h"
#include "runtime/host/stgy.h"
#include "runtime/stream/forms.h"
#include "tests/support/hostfixture.h"
#include "tests/support/scriptedresults.h"

#include <QString>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace {

using kestro::ClassRegistry;
using kestro::Gui;
using kestro::Linguist;
using kestro::Rtdb;
using kestro::Strategies;
using kestro::VarType;

class Thing : public rtti::object_c {
public:
    bool is_kind_of(const rtti::clazz_c*) const override { return false; }
    rtti::object_c* cast_to(const rtti::clazz_c*) override { return nullptr; }
};

class TestClazz : public rtti::clazz_c {
public:
    TestClazz(std::string name, uint32_t number, bool instantiable = true)
        : m_name(std::move(name)), m_number(number), m_instantiable(instantiable) {}
    rtti::object_c* create_object() const override { return m_instantiable ? new Thing : nullptr; }
    std::string class_name() const override { return m_name; }
    uint32_t class_id() const override { return m_number; }

private:
    std::string m_name;
    uint32_t m_number;
    bool m_instantiable;
};

TEST(Registry, RefusesTwinsFindsCreatesAndWithdraws) {
    auto& registry = ClassRegistry::instance();
    const size_t before = registry.classes().size();
    TestClazz line{"TLine", 0x7F02}, twin{"TTwin", 0x7F02}, abstract{"TAbstract", 0x7F10, false};
    EXPECT_EQ(__register_class(&line), 0);
    EXPECT_EQ(__register_class(&abstract), 0);
    EXPECT_NE(__register_class(&twin), 0); // the number is taken
    EXPECT_NE(__register_class(nullptr), 0);
    EXPECT_EQ(registry.byName("TLine"), &line);
    EXPECT_EQ(registry.byName("tline"), nullptr); // names are exact
    EXPECT_NE(std::unique_ptr<rtti::object_c>(registry.create(0x7F02)), nullptr);
    EXPECT_EQ(registry.create(0x7F10), nullptr); // registered, no instances
    EXPECT_EQ(registry.create("Unknown"), nullptr);
    EXPECT_NE(__unregister_class(&twin), 0); // never registered, though its number is
    EXPECT_EQ(__unregister_class(&line), 0);
    EXPECT_NE(__unregister_class(&line), 0);
    EXPECT_EQ(__register_class(&twin), 0); // the number is free again
    EXPECT_EQ(registry.byNumber(0x7F02), &twin);
    registry.remove(&twin);
    registry.remove(&abstract);
    EXPECT_EQ(registry.classes().size(), before);
}

class Services : public HostTest {};

TEST_F(Services, StrategiesRunTheLatestDefinitionAndRecordEveryRun) {
    std::vector<std::string> ran;
    Strategies::instance().define(7, "a", [&] { ran.push_back("a"); });
    Strategies::instance().define(7, "pump", [&] { ran.push_back("pump"); });
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(7, 0), 0);
    EXPECT_EQ(Vorn_Stgy_RunUserStgy(9, 3), -1);
    EXPECT_EQ(ran, std::vector<std::string>{"pump"});
    const auto& runs = Strategies::instance().runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(std::make_tuple(runs[1].strategy, runs[1].argument, runs[1].known),
              std::make_tuple(9, 3, false));
}

// Asks for successes only after a failure, as a session's watch does.
class FailureWatcher : public kestro::ScriptWatcher {
public:
    explicit FailureWatcher(bool wantsSuccessesAtFirst) {
        setWantsSuccesses(wantsSuccessesAtFirst);
    }
    void ran(const unsigned char* program, const std::string* failure) override {
        told.push_back(std::string(reinterpret_cast<const char*>(program), 1) + ":" +
                       (failure ? *failure : "ok"));
        setWantsSuccesses(failure != nullptr);
    }
    std::vector<std::string> told;
};

TEST_F(Services, AWatcherIsToldOfEveryFailureAndOfSuccessesWhileItWantsThem) {
    using kvtest::ScriptResult;
    struct Row {
        bool wantsAtFirst;
        std::vector<std::string> told; //!< of the runs a (ok), b (fails), c (ok), d (ok)
    };
    const std::vector<Row> rows = {
        {false, {"b:scripted failure", "c:ok"}},
        {true, {"a:ok", "b:scripted failure", "c:ok"}},
    };
    kestro::ScriptService& service = kestro::ScriptService::instance();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.wantsAtFirst);
        FailureWatcher watcher(row.wantsAtFirst);
        service.setWatcher(&watcher);
        auto& scripted = kvtest::ScriptedResults::instance();
        for (const ScriptResult& r : {ScriptResult::value(1), ScriptResult::failure(),
                                      ScriptResult::value(2), ScriptResult::value(3)}) {
            scripted.queue(r);
        }
        for (const char* program : {"a", "b", "c", "d"}) {
            Script::ValueType result;
            service.run(reinterpret_cast<const unsigned char*>(program), 1, result, nullptr);
        }
        service.setWatcher(nullptr);
        EXPECT_EQ(watcher.told, row.told);
    }
}

TEST(VornIsEqual, DifferenceAtMostTheTolerance) {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const struct {
        long double a, b, tolerance;
        bool equal;
    } cases[] = {{1.0L, 1.5L, 0.5L, true},
                 {1.5L, 1.0L, 0.5L, true},
                 {1.0L, 1.75L, 0.5L, false},
                 {2.0L, 2.0L, -1.0L, false},
                 {nan, nan, 1.0L, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(Vorn_IsEqual(c.a, c.b, c.tolerance), c.equal) << static_cast<double>(c.a);
    }
}

TEST_F(Services, LanguagesTranslateAndTheEntryPointMatchesKeysByTheirBytes) {
    Linguist& l = Linguist::instance();
    l.setText("en", "door", "Gate");
    l.setText("en", "door", "Door"); // a later text replaces the earlier
    l.setText("de", "door", "T\xC3\xBCr");
    l.setText("en", "\xB0key", "degree key"); // an 8-bit key that is not UTF-8
    l.setText("en", "\xE9\x97\xA8", "gate");
    const QString tuer = QString(QChar(u'T')) + QChar(0xFC) + QChar(u'r');
    const struct {
        const char* language;
        QString key;
        int result;
        QString text;
    } cases[] = {
        {"de", QStringLiteral("door"), 0, tuer},
        {"en", QStringLiteral("door"), 0, QStringLiteral("Door")},
        {"fr", QStringLiteral("door"), 1, QStringLiteral("door")},
        // U+00B0 narrows back to the byte 0xB0.
        {"en", QString::fromLatin1("\xB0key"), 0, QStringLiteral("degree key")},
        // A UTF-8 key widened byte by byte, and the same key decoded, both find the text.
        {"en", QString::fromLatin1("\xE9\x97\xA8"), 0, QStringLiteral("gate")},
        {"en", QString::fromUtf8("\xE9\x97\xA8"), 0, QStringLiteral("gate")},
        {"en", QString::fromLatin1("no such key \xB5"), 1, QString::fromLatin1("no such key \xB5")},
    };
    for (const auto& c : cases) {
        l.setCurrentLanguage(c.language);
        QString out = QStringLiteral("stale");
        EXPECT_EQ(__linguist_get_lan_string_from_serialize(&out, &c.key), c.result);
        EXPECT_EQ(out, c.text);
    }
    const QString key = QStringLiteral("door");
    EXPECT_EQ(__linguist_get_lan_string_from_serialize(nullptr, &key), -1);
}

TEST(ResetHost, ClearsEveryServiceAndLeavesRegisteredClasses) {
    monitor_report(10, 1, "m", 1);
    logger_printf(10, "f", "file", 1, 0, 1, "t", "x");
    Linguist::instance().setText("en", "k", "v");
    Linguist::instance().setCurrentLanguage("en");
    kestro::Rtdb::instance().define("v", kestro::VarType::Int);
    __gui_wnd_open(1);
    kestro::Gui::instance().queueKeyboardAnswer({true, "x"});
    kestro::Gui::instance().queueSyncText("s");
    kestro::Gui::instance().setProjectVersion({3, 0, 0, 0, ""});
    Strategies::instance().define(1, "s", nullptr);
    kvtest::queueScriptResult(kvtest::ScriptResult::value(1.0));
    TestClazz kept{"Kept", 0x7E01};
    ASSERT_EQ(__register_class(&kept), 0);

    kestro::resetHost();

    EXPECT_TRUE(kestro::HostLog::instance().monitor().empty());
    EXPECT_TRUE(kestro::HostLog::instance().logs().empty());
    EXPECT_EQ(Linguist::instance().currentLanguage(), "");
    Linguist::instance().setCurrentLanguage("en");
    EXPECT_EQ(Linguist::instance().translate("k"), "k");
    EXPECT_EQ(kestro::Rtdb::instance().count(), 0);
    EXPECT_TRUE(kestro::Gui::instance().openedWindows().empty());
    char text[1024] = {};
    EXPECT_FALSE(__gui_input_dialog_open(0, text, 0, "", nullptr, nullptr, 0, 0, 0, 0));
    EXPECT_EQ(__gui_sync_variable(), nullptr);
    int major = 4;
    EXPECT_NE(__gui_get_vornset_version(&major, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(Strategies::instance().nameOf(1), "");
    EXPECT_EQ(kvtest::ScriptedResults::instance().queued(), 0u);
    EXPECT_EQ(ClassRegistry::instance().byNumber(0x7E01), &kept);
    EXPECT_EQ(__unregister_class(&kept), 0);
    kestro::resetHost();
}

constexpr int Ok = kestro::RtdbOk;
constexpr int WrongType = kestro::RtdbWrongType;
constexpr int BadText = kestro::RtdbBadText;
constexpr int NoValue = kestro::RtdbNoValue;
constexpr int Unknown = kestro::RtdbUnknownVariable;

class RtdbTest : public HostTest {
protected:
    Rtdb& db = Rtdb::instance();
};

enum class Setter { Int, Float, Str };

struct Row {
    VarType type;
    Setter setter;
    double number; // the argument of Rtdb_SvrSetInt / Rtdb_SvrSetFloat
    const char* text;
    int setResult;
    // What each getter gives afterwards (-777 / "untouched": left alone).
    int intResult, intValue, floatResult;
    double floatValue;
    int stringResult;
    const char* stringValue;
};

TEST_F(RtdbTest, EverySetterAndGetterOnEveryType) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const char* u = "untouched";
    // clang-format off
    const Row rows[] = {
        {VarType::Int, Setter::Int, -2147483648.0, nullptr, Ok, Ok, INT32_MIN, Ok, -2147483648.0, Ok, "-2147483648"},
        {VarType::Int, Setter::Float, -3.0, nullptr, Ok, Ok, -3, Ok, -3.0, Ok, "-3"},
        {VarType::Int, Setter::Float, 1.5, nullptr, WrongType, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::Int, Setter::Float, nan, nullptr, WrongType, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::Int, Setter::Str, 0, " -17 ", Ok, Ok, -17, Ok, -17.0, Ok, "-17"},
        {VarType::Int, Setter::Str, 0, "2147483648", BadText, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::Int, Setter::Str, 0, "12abc", BadText, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::Float, Setter::Int, 3, nullptr, WrongType, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::Float, Setter::Float, 0.1, nullptr, Ok, WrongType, -777, Ok, 0.1, Ok, "0.1"},
        {VarType::Float, Setter::Float, -0.0001, nullptr, Ok, WrongType, -777, Ok, -0.0001, Ok, "-0.0001"},
        {VarType::Float, Setter::Float, 1e21, nullptr, Ok, WrongType, -777, Ok, 1e21, Ok, "1e+21"},
        {VarType::Float, Setter::Str, 0, "6.5e2", Ok, WrongType, -777, Ok, 650, Ok, "650"},
        {VarType::Float, Setter::Str, 0, "inf", BadText, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::String, Setter::Int, 3, nullptr, WrongType, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::String, Setter::Str, 0, " 12.5 ", Ok, WrongType, -777, Ok, 12.5, Ok, " 12.5 "},
        {VarType::String, Setter::Str, 0, "open", Ok, WrongType, -777, BadText, -777, Ok, "open"},
        {VarType::String, Setter::Str, 0, nullptr, Ok, WrongType, -777, BadText, -777, Ok, ""},
    };
    // clang-format on
    int n = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(n);
        const int index = db.define("v" + std::to_string(n++), r.type);
        int result = -1;
        switch (r.setter) {
        case Setter::Int:
            result = Rtdb_SvrSetInt(index, static_cast<int>(r.number), 0, 0);
            break;
        case Setter::Float:
            result = Rtdb_SvrSetFloat(index, r.number, 0, 0);
            break;
        case Setter::Str:
            result = Rtdb_SvrSetStr(index, r.text, 0, 0);
            break;
        }
        EXPECT_EQ(result, r.setResult);
        int i = -777;
        EXPECT_EQ(Rtdb_SvrGetInt(index, &i), r.intResult);
        EXPECT_EQ(i, r.intValue);
        double d = -777.0;
        EXPECT_EQ(Rtdb_SvrGetFloat(index, &d), r.floatResult);
        EXPECT_DOUBLE_EQ(d, r.floatValue);
        std::string s = u;
        EXPECT_EQ(Rtdb_SvrGetStr(index, &s), r.stringResult);
        EXPECT_EQ(s, r.stringValue);
    }
}

TEST_F(RtdbTest, RefusedWritesKeepTheValueAndUnknownIndicesFailEveryCall) {
    const int f = db.define("f", VarType::Float);
    ASSERT_EQ(Rtdb_SvrSetFloat(f, 4.5, 0, 0), Ok);
    EXPECT_EQ(Rtdb_SvrSetStr(f, "nine", 0, 0), BadText); // a refused write keeps the value
    double kept = 0.0;
    EXPECT_EQ(Rtdb_SvrGetFloat(f, &kept), Ok);
    EXPECT_EQ(kept, 4.5);
    for (int index : {1, -1, 1000}) {
        int i = 5;
        double d = 5.0;
        std::string s = "keep";
        EXPECT_EQ(Rtdb_SvrGetInt(index, &i), Unknown);
        EXPECT_EQ(Rtdb_SvrGetFloat(index, &d), Unknown);
        EXPECT_EQ(Rtdb_SvrGetStr(index, &s), Unknown);
        EXPECT_EQ(Rtdb_SvrSetInt(index, 1, 0, 0), Unknown);
        EXPECT_EQ(Rtdb_SvrSetFloat(index, 1.0, 0, 0), Unknown);
        EXPECT_EQ(Rtdb_SvrSetStr(index, "1", 0, 0), Unknown);
        EXPECT_EQ(i, 5);
        EXPECT_EQ(d, 5.0);
        EXPECT_EQ(s, "keep");
    }
}

class GuiTest : public HostTest {
protected:
    Gui& gui = Gui::instance();
};

bool openKeyboard(char* text) {
    return __gui_input_dialog_open(0, text, 0, "q", nullptr, nullptr, 0, 0, 0, 0);
}

TEST_F(GuiTest, AtMost1023BytesOfTheAnswerAreWrittenAndThePresetStaysInTheBuffer) {
    const std::pair<size_t, size_t> cases[] = {{0, 0}, {1023, 1023}, {1024, 1023}, {5000, 1023}};
    for (const auto& [answerLength, written] : cases) {
        gui.queueKeyboardAnswer({true, std::string(answerLength, 'k')});
        char block[1025]; // the byte after the 1024-byte buffer must survive
        std::memset(block, '#', sizeof block);
        block[0] = '\0';
        ASSERT_TRUE(openKeyboard(block));
        EXPECT_EQ(std::strlen(block), written) << answerLength;
        EXPECT_EQ(block[1024], '#') << answerLength;
    }
    char full[1024]; // no zero: the preset stops at 1024 bytes
    std::memset(full, 'p', sizeof full);
    openKeyboard(full);
    EXPECT_EQ(gui.keyboardCalls().back().preset, std::string(1024, 'p'));
}

TEST_F(GuiTest, SyncTextsAreHandedOutOncePerCall) {
    gui.queueSyncText("12.5");
    gui.queueSyncText("");
    const char* first = __gui_sync_variable();
    gui.queueSyncText("later"); // queuing does not disturb the text handed out
    EXPECT_STREQ(first, "12.5");
    EXPECT_STREQ(__gui_sync_variable(), "");
    EXPECT_STREQ(__gui_sync_variable(), "later");
    EXPECT_EQ(__gui_sync_variable(), nullptr);
}

TEST_F(GuiTest, TheProjectVersionFillsEveryIntegerOrNothing) {
    int v[4] = {4, -1, -2, -3};
    std::string text = "keep";
    EXPECT_NE(__gui_get_vornset_version(&v[0], &v[1], &v[2], &v[3], &text), 0);
    EXPECT_EQ(std::vector<int>(v, v + 4), std::vector<int>({4, -1, -2, -3}));
    gui.setProjectVersion({3, 2, 5, 1840, "3.2.5.1840"});
    EXPECT_EQ(__gui_get_vornset_version(&v[0], &v[1], &v[2], &v[3], &text), 0);
    EXPECT_EQ(std::vector<int>(v, v + 4), std::vector<int>({3, 2, 5, 1840}));
    EXPECT_EQ(text, "3.2.5.1840");
}

std::string eventRecord(int32_t code, int32_t length, const std::string& program) {
    std::string bytes;
    kestro::appendInt32(bytes, code);
    kestro::appendInt32(bytes, length);
    return bytes + program;
}

TEST(CEventDispatchRecord, ReadsTheCodeAndTheProgramOrRefuses) {
    // Code 11111 = 0x2B67, length 3, then the program and one byte of the next record.
    const std::string stream("\x67\x2B\x00\x00\x03\x00\x00\x00\x01\x02\x03\x7F", 12);
    FF::utils::MemoryBuffer buffer(stream.data(), stream.size());
    CEventDispatch record;
    ASSERT_TRUE(record.deserialize(&buffer));
    EXPECT_EQ(record.m_nEventCode, 11111);
    ASSERT_EQ(record.m_program.length(), 3u);
    EXPECT_EQ(std::memcmp(record.m_program.data(), "\x01\x02\x03", 3), 0);
    EXPECT_EQ(buffer.position(), 11u);

    for (const std::string& bad :
         {std::string(), std::string("\x01\x00\x00", 3), std::string("\x01\x00\x00\x00\x02\x00", 6),
          eventRecord(1, -1, "abc"), eventRecord(1, INT32_MIN, "abc"), eventRecord(1, 4, "abc"),
          eventRecord(1, INT32_MAX, "abc")}) {
        FF::utils::MemoryBuffer in(bad.data(), bad.size());
        CEventDispatch refused;
        EXPECT_FALSE(refused.deserialize(&in)) << bad.size();
        EXPECT_EQ(refused.m_program.length(), 0u);
        EXPECT_EQ(refused.m_nEventCode, 0);
    }
    EXPECT_FALSE(record.deserialize(nullptr));
}

} // namespace
