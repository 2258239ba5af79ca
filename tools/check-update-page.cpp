// Runs the program's own update-page processing on a page (a file, or a URL
// fetched with the program's request code) as a check of a program with the
// given build on the given system would, and prints the check's log. Exits
// 0 when the log has no "Error: " line, 1 when it has, 2 on wrong use. The
// application's preferences are never touched: the check gets a scratch store.
#include "Moraine/update/bundledkey.h"
#include "Moraine/update/nimblite.h"
#include "Moraine/update/osversion.h"
#include "Moraine/update/rsakey.h"
#include "Moraine/update/updategroup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// A check whose preferences live in a scratch file.
class ToolCheck final : public moraine::NIMBLite
{
public:
    ToolCheck(const moraine::UpdateServices &services, const moraine::HostFacts &facts, const QString &settingsPath)
        : NIMBLite(services, facts)
        , m_settingsPath(settingsPath)
    {
    }

    std::unique_ptr<QSettings> preferencesStore() override
    {
        return std::make_unique<QSettings>(m_settingsPath, QSettings::IniFormat);
    }

private:
    QString m_settingsPath;
};

int usage(const QCommandLineParser &parser, const QString &problem)
{
    std::fprintf(stderr, "check-update-page: %s\n\n%s", qPrintable(problem), qPrintable(parser.helpText()));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("check-update-page"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Checks an update page the way the program does."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("URL_OR_FILE"), QStringLiteral("The page: an address or a file."));
    const QCommandLineOption keyOption(QStringLiteral("key"),
                                       QStringLiteral("Public key (PEM) to verify with; the built-in key by default."),
                                       QStringLiteral("PUBLIC_KEY_PEM"));
    const QCommandLineOption buildOption(QStringLiteral("build"),
                                         QStringLiteral("Build number of the checking program."), QStringLiteral("N"));
    const QCommandLineOption osOption(QStringLiteral("os"), QStringLiteral("System version major.minor."),
                                      QStringLiteral("X.Y"));
    const QCommandLineOption inspectOption(QStringLiteral("inspect"),
                                           QStringLiteral("Report the whole page instead of running a check."));
    parser.addOptions({keyOption, buildOption, osOption, inspectOption});
    parser.process(app);

    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1) {
        return usage(parser, QStringLiteral("one page is needed"));
    }
    moraine::HostFacts facts = moraine::HostFacts::current();
    if (parser.isSet(buildOption)) {
        if (!moraine::parseDecimalInteger(parser.value(buildOption))) {
            return usage(parser, QStringLiteral("--build needs a decimal integer"));
        }
        facts.buildNumber = parser.value(buildOption);
    }
    if (parser.isSet(osOption)) {
        if (!moraine::OsVersion::parse(parser.value(osOption))) {
            return usage(parser, QStringLiteral("--os needs a version such as 6.1"));
        }
        facts.kernelRelease = moraine::OsVersion::parse(parser.value(osOption))->toString();
    }

    QString pem = moraine::bundledPublicKeyPem();
    if (parser.isSet(keyOption)) {
        QFile keyFile(parser.value(keyOption));
        if (!keyFile.open(QIODevice::ReadOnly)) {
            return usage(parser, QStringLiteral("cannot read %1").arg(parser.value(keyOption)));
        }
        pem = QString::fromLatin1(keyFile.readAll());
    }
    const moraine::KMResult<moraine::RsaKey> imported = moraine::importPEMKey(pem, moraine::KeyClass::Public);
    if (!imported.ok()) {
        return usage(parser, QStringLiteral("the public key cannot be used: %1").arg(imported.error().domain));
    }
    // No alert and no browser: the tool only prints the log.
    moraine::UpdateServices services;
    services.setPublicKey(imported.value());

    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "check-update-page: no scratch folder\n");
        return 2;
    }
    ToolCheck check(services, facts, scratch.filePath(QStringLiteral("preferences.ini")));
    check.setMap(parser.isSet(inspectOption));
    check.setOnCompletion([] { QCoreApplication::exit(0); });

    const QString source = arguments.first();
    if (source.contains(QStringLiteral("://"))) {
        check.validateOnlinePage(source);
    } else {
        QFile page(source);
        if (!page.open(QIODevice::ReadOnly)) {
            return usage(parser, QStringLiteral("cannot read %1").arg(source));
        }
        // One byte past the cap is enough for the processing to refuse it.
        check.processHTML(page.read(moraine::NIMBLite::kMaxPageBytes + 1), std::nullopt);
    }
    QCoreApplication::exec();

    bool sawError = false;
    for (const QString &line : check.log()) {
        std::printf("%s\n", qPrintable(line));
        sawError = sawError || line.startsWith(QStringLiteral("Error: "));
    }
    return sawError ? 1 : 0;
}
