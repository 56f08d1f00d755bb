// Language service of the reference host: texts per language key and a current language.
//
// __linguist_get_lan_string_from_serialize receives the key as a QString widened from the
// stored 8-bit bytes (one character per byte, as QString::fromLatin1 makes it) and looks it up
// by those bytes, i.e. by its Latin-1 narrowing; a key holding characters above U+00FF is
// looked up by its UTF-8 bytes instead. The text found is UTF-8 and is handed back decoded as
// UTF-8. An unknown key is handed back unchanged (result 1; 0 when translated, -1 for a null
// argument).
#pragma once

#include <map>
#include <string>

class QString;

namespace kestro {

class Linguist {
public:
    static Linguist& instance();

    //! Sets the text of key in language (UTF-8).
    void setText(const std::string& language, const std::string& key, const std::string& text);
    //! Selects the language of translate(); a language without texts translates nothing.
    void setCurrentLanguage(const std::string& language) { m_current = language; }
    const std::string& currentLanguage() const { return m_current; }
    //! The current-language text of key; the key itself when there is none.
    std::string translate(const std::string& key) const;
    //! The current-language text of key, or null when there is none.
    const std::string* find(const std::string& key) const;
    //! Forgets every text and the current language.
    void clear();

    //! The stored bytes a key given as a QString stands for (see the head of this file).
    static std::string keyBytes(const QString& key);

private:
    Linguist() = default;
    std::string m_current;
    std::map<std::string, std::map<std::string, std::string>> m_texts; // language -> key -> text
};

} // namespace kestro
