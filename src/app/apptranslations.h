#pragma once

#include <QLocale>
#include <QTranslator>

#include <memory>
#include <vector>

/// The application's texts and Qt's own (standard buttons, dialogs) in the
/// person's language, installed for as long as this object lives. The
/// language is the desktop's (LANGUAGE, then LC_ALL, LC_MESSAGES, LANG);
/// English, the source language, needs no translation. The application's
/// translations are built into the program (":/i18n"), Qt's come from its
/// installed translations folder.
class AppTranslations
{
public:
    explicit AppTranslations(const QLocale &locale = QLocale());
    ~AppTranslations();

    AppTranslations(const AppTranslations &) = delete;
    AppTranslations &operator=(const AppTranslations &) = delete;

    /// Whether the application's own translation for the locale was found.
    [[nodiscard]] bool hasApplicationTranslation() const { return m_application; }

    /// Where the application's translations are built in.
    static constexpr const char *kResourceFolder = ":/i18n";

private:
    bool install(const QLocale &locale, const QString &name, const QString &folder);

    std::vector<std::unique_ptr<QTranslator>> m_translators;
    bool m_application = false;
};
