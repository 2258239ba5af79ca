// Signs an update page: the page's signature meta holds the placeholder,
// the whole page is signed with the maker's private key (RSA PKCS#1 v1.5,
// SHA-256), and the placeholder is replaced by the base64 signature.
#include "Moraine/update/pagesignature.h"
#include "Moraine/update/rsakey.h"
#include "Moraine/update/xmldocument.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <cstdio>

namespace {

int refuse(const QString &message)
{
    std::fprintf(stderr, "sign-update-page: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sign-update-page"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Signs an update page whose NIMBSignature meta holds NIMBSignaturePlaceHolder."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("PAGE"), QStringLiteral("The page to sign."));
    parser.addPositionalArgument(QStringLiteral("PRIVATE_KEY_PEM"), QStringLiteral("The maker's RSA private key."));
    const QCommandLineOption outputOption(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("Write the signed page to OUT instead of standard output."),
                                          QStringLiteral("OUT"));
    parser.addOption(outputOption);
    parser.process(app);
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "%s", qPrintable(parser.helpText()));
        return 2;
    }

    QFile pageFile(arguments.at(0));
    if (!pageFile.open(QIODevice::ReadOnly)) {
        return refuse(QStringLiteral("cannot read %1: %2").arg(arguments.at(0), pageFile.errorString()));
    }
    const QByteArray page = pageFile.readAll();

    const qsizetype placeholders = page.count(moraine::kSignaturePlaceholder);
    if (placeholders != 1) {
        return refuse(QStringLiteral("the page must hold %1 exactly once; it holds it %2 times")
                          .arg(QLatin1String(moraine::kSignaturePlaceholder))
                          .arg(placeholders));
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    (void)utf8.decode(page);
    if (utf8.hasError()) {
        return refuse(QStringLiteral("the page is not valid UTF-8, so its signature could never be checked"));
    }
    const moraine::KMResult<moraine::XmlDocument> parsed = moraine::XmlDocument::parse(page);
    if (!parsed.ok()) {
        return refuse(QStringLiteral("the page would be refused by the program: %1").arg(parsed.error().domain));
    }
    const moraine::XmlDocument &document = parsed.value();
    // Read as the program reads it: the last signature meta counts, so a
    // second one would silently decide which signature is checked.
    const moraine::SignatureMetas metas =
        document.root() ? moraine::signatureMetas(*document.root()) : moraine::SignatureMetas();
    if (metas.count > 1) {
        return refuse(QStringLiteral("the page has %1 NIMBSignature metas; it must have exactly one, as the program "
                                     "reads only the last")
                          .arg(metas.count));
    }
    if (metas.lastContent != QLatin1String(moraine::kSignaturePlaceholder)) {
        return refuse(QStringLiteral("the placeholder must be the content of the NIMBSignature meta in the head"));
    }

    QFile keyFile(arguments.at(1));
    if (!keyFile.open(QIODevice::ReadOnly)) {
        return refuse(QStringLiteral("cannot read %1: %2").arg(arguments.at(1), keyFile.errorString()));
    }
    const moraine::KMResult<moraine::RsaKey> imported =
        moraine::importPEMKey(QString::fromLatin1(keyFile.readAll()), moraine::KeyClass::Private);
    if (!imported.ok()) {
        return refuse(QStringLiteral("the key cannot be used: %1").arg(imported.error().domain));
    }

    const moraine::KMResult<QString> signature = moraine::signMessage(page, imported.value());
    if (!signature.ok()) {
        return refuse(QStringLiteral("signing failed: %1").arg(signature.error().domain));
    }
    QByteArray signedPage = page;
    signedPage.replace(moraine::kSignaturePlaceholder, signature.value().toLatin1());
    // The program's own reading and verification of the finished page.
    const moraine::KMResult<moraine::XmlDocument> signedDocument = moraine::XmlDocument::parse(signedPage);
    const std::optional<QString> readBack = signedDocument.ok() && signedDocument.value().root()
        ? moraine::signatureMetas(*signedDocument.value().root()).lastContent
        : std::nullopt;
    if (!readBack) {
        return refuse(QStringLiteral("the signed page has no signature the program can read"));
    }
    if (const auto failure = moraine::verifyPageSignature(signedPage, *readBack, imported.value())) {
        return refuse(QStringLiteral("the signed page does not verify: %1").arg(*failure));
    }

    if (parser.isSet(outputOption)) {
        QSaveFile out(parser.value(outputOption));
        if (!out.open(QIODevice::WriteOnly) || out.write(signedPage) != signedPage.size() || !out.commit()) {
            return refuse(QStringLiteral("cannot write %1: %2").arg(parser.value(outputOption), out.errorString()));
        }
    } else {
        std::fwrite(signedPage.constData(), 1, static_cast<size_t>(signedPage.size()), stdout);
    }
    return 0;
}
