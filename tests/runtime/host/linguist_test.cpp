// Language service: texts per language and the entry point's byte handling of keys and texts.
#include "kestrovalumen/host/linguist.h"
#include "runtime/host/linguist.h"
#include "tests/support/hostfixture.h"

#include <QString>

namespace {

using kestro::Linguist;

class LinguistTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        Linguist& l = Linguist::instance();
        l.setText("en", "door", "Gate");
        l.setText("en", "door", "Door"); // a later text replaces the earlier
        l.setText("de", "door", "T\xC3\xBCr");
        l.setText("en", "\xB0key", "degree key"); // an 8-bit key that is not UTF-8
        l.setText("en", "\xE9\x97\xA8", "door (from a UTF-8 key)");
    }
};

TEST_F(LinguistTest, TranslatesInTheCurrentLanguage) {
    const struct {
        const char *language, *key, *expected;
    } cases[] = {{"en", "door", "Door"},
                 {"de", "door", "T\xC3\xBCr"},
                 {"en", "window", "window"}, // unknown key: the key
                 {"fr", "door", "door"},
                 {"", "door", "door"}};
    for (const auto& c : cases) {
        Linguist::instance().setCurrentLanguage(c.language);
        EXPECT_EQ(Linguist::instance().translate(c.key), c.expected) << c.language << "/" << c.key;
    }
}

TEST_F(LinguistTest, EntryPointLooksKeysUpByTheirBytesAndDecodesTheTextAsUtf8) {
    const struct {
        const char* language;
        QString key;
        int result;
        QString text;
    } cases[] = {
        {"de", QStringLiteral("door"), 0, QString(QChar(u'T')) + QChar(0xFC) + QChar(u'r')},
        // U+00B0 narrows back to the byte 0xB0.
        {"en", QString::fromLatin1("\xB0key"), 0, QStringLiteral("degree key")},
        // A UTF-8 key widened byte by byte, and the same key decoded, both find the text.
        {"en", QString::fromLatin1("\xE9\x97\xA8"), 0, QStringLiteral("door (from a UTF-8 key)")},
        {"en", QString::fromUtf8("\xE9\x97\xA8"), 0, QStringLiteral("door (from a UTF-8 key)")},
        {"en", QString::fromLatin1("no such key \xB5"), 1, QString::fromLatin1("no such key \xB5")},
    };
    for (const auto& c : cases) {
        Linguist::instance().setCurrentLanguage(c.language);
        QString out = QStringLiteral("stale");
        EXPECT_EQ(__linguist_get_lan_string_from_serialize(&out, &c.key), c.result);
        EXPECT_EQ(out, c.text);
    }
    const QString key = QStringLiteral("door");
    QString out;
    EXPECT_EQ(__linguist_get_lan_string_from_serialize(nullptr, &key), -1);
    EXPECT_EQ(__linguist_get_lan_string_from_serialize(&out, nullptr), -1);
}

} // namespace
