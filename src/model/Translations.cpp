#include "Translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace zl {

namespace {

const QString kPrefix = QStringLiteral("zephyrlatch_");
const QString kFolder = QStringLiteral(":/i18n");

} // namespace

Translations::Translations() : m_english(std::make_unique<QTranslator>())
{
    if (m_english->load(kPrefix + QStringLiteral("en"), kFolder))
        QCoreApplication::installTranslator(m_english.get());
}

Translations::~Translations()
{
    if (m_language)
        QCoreApplication::removeTranslator(m_language.get());
    QCoreApplication::removeTranslator(m_english.get());
}

bool Translations::setLanguage(const QString &language)
{
    if (m_language) {
        QCoreApplication::removeTranslator(m_language.get());
        m_language.reset();
    }
    const QString name = QLocale(language).name().section(u'_', 0, 0);
    if (name == QLatin1StringView("en") || name == QLatin1StringView("C"))
        return name == QLatin1StringView("en");
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(kPrefix + name, kFolder))
        return false;
    QCoreApplication::installTranslator(translator.get());
    m_language = std::move(translator);
    return true;
}

bool Translations::useSystemLanguage()
{
    return setLanguage(QLocale::system().name());
}

} // namespace zl
