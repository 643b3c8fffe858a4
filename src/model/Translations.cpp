#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
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
    for (QTranslator *translator : {m_qt.get(), m_language.get(), m_english.get()}) {
        if (translator)
            QCoreApplication::removeTranslator(translator);
    }
}

bool Translations::setLanguage(const QString &language)
{
    for (std::unique_ptr<QTranslator> *translator : {&m_qt, &m_language}) {
        if (*translator) {
            QCoreApplication::removeTranslator(translator->get());
            translator->reset();
        }
    }
    const QString name = QLocale(language).name().section(u'_', 0, 0);
    if (auto qt = std::make_unique<QTranslator>();
        qt->load(QStringLiteral("qtbase_") + name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt.get());
        m_qt = std::move(qt);
    }
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
