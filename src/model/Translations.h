#pragma once

#include <QString>

#include <memory>

class QTranslator;

namespace zl {

/**
 * Owns the installed string tables: English always, the chosen language on top, so an id
 * missing from a translation falls back to English. Lives as long as the application object.
 */
class Translations final
{
public:
    Translations();
    ~Translations();
    Translations(const Translations &) = delete;
    Translations &operator=(const Translations &) = delete;

    /** Installs the table of a language ("de", "de_DE", "en"); false when there is none. */
    bool setLanguage(const QString &language);
    /** The system locale's language. */
    bool useSystemLanguage();

private:
    std::unique_ptr<QTranslator> m_english;
    std::unique_ptr<QTranslator> m_language;
    /** Qt's own texts (dialog buttons, context menus) in the same language, where installed. */
    std::unique_ptr<QTranslator> m_qt;
};

} // namespace zl
