#include "app/apptranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

AppTranslations::AppTranslations(const QLocale &locale)
{
    // Qt's catalogues first: a translator installed later is asked first,
    // so the application's own wording wins where both have a text.
    const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    install(locale, QStringLiteral("qtbase"), qtFolder);
    install(locale, QStringLiteral("qtdeclarative"), qtFolder);
    m_application = install(locale, QStringLiteral("vellory"), QString::fromLatin1(kResourceFolder));
}

AppTranslations::~AppTranslations()
{
    for (const std::unique_ptr<QTranslator> &translator : m_translators) {
        QCoreApplication::removeTranslator(translator.get());
    }
}

bool AppTranslations::install(const QLocale &locale, const QString &name, const QString &folder)
{
    // QTranslator tries each of the locale's UI languages in turn
    // ("de_AT", then "de"), and stops at English, the source language.
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, name, QStringLiteral("_"), folder) || !QCoreApplication::installTranslator(translator.get())) {
        return false;
    }
    m_translators.push_back(std::move(translator));
    return true;
}
