// Language service: tables per language, the current language, unknown keys, and the entry
// point's byte handling of keys and texts.
#include "kestrovalumen/host/linguist.h"
#include "runtime/host/linguist.h"
#include "tests/support/hostfixture.h"

#include <QString>
#include <gtest/gtest.h>

namespace {

using kestro::Linguist;

class LinguistTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        Linguist& l = Linguist::instance();
        l.setText("en", "door", "Door");
        l.setText("de", "door", "T\xC3\xBCr");
        l.setText("zh", "door", "\xE9\x97\xA8");
        l.setText("en", "\xB0key", "degree key"); // an 8-bit key that is not UTF-8
        l.setText("en", "\xE9\x97\xA8", "door (from a UTF-8 key)");
    }
};

struct TranslateCase {
    const char* language;
    const char* key;
    const char* expected;
};

TEST_F(LinguistTest, TranslatesInTheCurrentLanguage) {
    const TranslateCase cases[] = {
        {"en", "door", "Door"},         {"de", "door", "T\xC3\xBCr"},
        {"zh", "door", "\xE9\x97\xA8"}, {"en", "window", "window"}, // unknown key: the key
        {"fr", "door", "door"},                                     // language without texts
        {"", "door", "door"},                                       // no language chosen
    };
    for (const TranslateCase& c : cases) {
        Linguist::instance().setCurrentLanguage(c.language);
        EXPECT_EQ(Linguist::instance().translate(c.key), c.expected) << c.language << "/" << c.key;
    }
}

TEST_F(LinguistTest, ALaterTextReplacesTheEarlier) {
    Linguist::instance().setText("en", "door", "Gate");
    Linguist::instance().setCurrentLanguage("en");
    EXPECT_EQ(Linguist::instance().translate("door"), "Gate");
}

TEST_F(LinguistTest, ClearForgetsTextsAndLanguage) {
    Linguist::instance().setCurrentLanguage("en");
    Linguist::instance().clear();
    EXPECT_EQ(Linguist::instance().currentLanguage(), "");
    Linguist::instance().setCurrentLanguage("en");
    EXPECT_EQ(Linguist::instance().translate("door"), "door");
}

TEST_F(LinguistTest, EntryPointDecodesTheTextAsUtf8) {
    Linguist::instance().setCurrentLanguage("de");
    const QString key = QString::fromLatin1("door");
    QString out;
    EXPECT_EQ(__linguist_get_lan_string_from_serialize(&out, &key), 0);
    EXPECT_EQ(out, QString(QChar(u'T')) + QChar(0xFC) + QChar(u'r'));
    EXPECT_EQ(out.toUtf8().toStdString(), "T\xC3\xBCr");
}

TEST_F(LinguistTest, EntryPointLooksKeysUpByTheirEightBitBytes) {
    Linguist::instance().setCurrentLanguage("en");
    QString out;
    // 0xB0 widened to U+00B0 narrows back to the byte 0xB0.
    const QString latin = QString::fromLatin1("\xB0key");
    EXPECT_EQ(__linguist_get_lan_string_from_serialize(&out, &latin), 0);
    EXPECT_EQ(out, QStringLiteral("degree key"));

    // A UTF-8 key widened byte by byte (as an 8-bit string is) finds its text.
    const QString widened = QString::fromLatin1("\xE9\x97\xA8");
    EXPECT_EQ(__linguist_get_lan_string_from_serialize(&out, &widened), 0);
    EXPECT_EQ(out, QStringLiteral("door (from a UTF-8 key)"));

    // The same key decoded (one wide character) is found through its UTF-8 bytes.
    const QString decoded = QString::fromUtf8("\xE9\x97\xA8");
    EXPECT_EQ(__linguist_get_lan_string_from_serialize(&out, &decoded), 0);
    EXPECT_EQ(out, QStringLiteral("door (from a UTF-8 key)"));
}

TEST_F(LinguistTest, EntryPointGivesAnUnknownKeyBack) {
    Linguist::instance().setCurrentLanguage("en");
    const QString key = QString::fromLatin1("no such key \xB5");
    QString out = QStringLiteral("stale");
    EXPECT_EQ(__linguist_get_lan_string_from_serialize(&out, &key), 1);
    EXPECT_EQ(out, key);
}

TEST_F(LinguistTest, EntryPointRefusesNullArguments) {
    const QString key = QStringLiteral("door");
    QString out;
    EXPECT_EQ(__linguist_get_lan_string_from_serialize(nullptr, &key), -1);
    EXPECT_EQ(__linguist_get_lan_string_from_serialize(&out, nullptr), -1);
}

} // namespace
