// Language service of the reference host (library linguist).
#include "runtime/host/linguist.h"

#include "kestrovalumen/host/linguist.h"

#include <QString>

namespace kestro {

Linguist& Linguist::instance() {
    static Linguist linguist;
    return linguist;
}

void Linguist::setText(const std::string& language, const std::string& key,
                       const std::string& text) {
    m_texts[language][key] = text;
}

std::string Linguist::translate(const std::string& key) const {
    const std::string* text = find(key);
    return text ? *text : key;
}

const std::string* Linguist::find(const std::string& key) const {
    const auto language = m_texts.find(m_current);
    if (language == m_texts.end()) {
        return nullptr;
    }
    const auto entry = language->second.find(key);
    return entry == language->second.end() ? nullptr : &entry->second;
}

void Linguist::clear() {
    m_current.clear();
    m_texts.clear();
}

std::string Linguist::keyBytes(const QString& key) {
    // Keys come from 8-bit strings widened one byte per character; narrowing them back gives
    // the stored bytes. A key holding wider characters was not made that way: take its UTF-8.
    for (const QChar c : key) {
        if (c.unicode() > 0xFF) {
            return key.toUtf8().toStdString();
        }
    }
    return key.toLatin1().toStdString();
}

} // namespace kestro

int __linguist_get_lan_string_from_serialize(QString* out, const QString* key) {
    if (!out || !key) {
        return -1;
    }
    const std::string* text = kestro::Linguist::instance().find(kestro::Linguist::keyBytes(*key));
    if (!text) {
        *out = *key;
        return 1;
    }
    *out = QString::fromUtf8(text->data(), static_cast<qsizetype>(text->size()));
    return 0;
}
