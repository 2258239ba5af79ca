#include "updatetestsupport.h"

#include "Moraine/update/bundledkey.h"
#include "Moraine/update/pagesignature.h"
#include "Moraine/update/rsakey.h"

#include <gtest/gtest.h>

using moraine::importPEMKey;
using moraine::KeyClass;
using moraine::verifyPageSignature;

namespace {

QString signatureOf(const QByteArray &page)
{
    const qsizetype at = page.indexOf("name=\"NIMBSignature\" content=\"") + 30;
    return QString::fromLatin1(page.mid(at, page.indexOf('"', at) - at));
}

// What verifying against the publisher's key reports; empty when the page verifies.
QString failureOf(const QByteArray &page, const QString &signature)
{
    return verifyPageSignature(page, signature, *publisherKey().publicKey).value_or(QString());
}

bool verifies(const QByteArray &page)
{
    return !verifyPageSignature(page, signatureOf(page), *publisherKey().publicKey).has_value();
}

} // namespace

// Every PEM form of its class imports (the private ones sign every test page and,
// as PKCS#1, in PageTools); each failure is an error with its own text and code -1.
TEST(KeyImport, AcceptsEveryPemFormOfItsClassAndReportsEachFailureWithItsOwnText)
{
    const auto failure = [](const QString &pem, KeyClass keyClass) {
        const auto imported = importPEMKey(pem, keyClass);
        EXPECT_FALSE(imported.ok());
        EXPECT_TRUE(imported.ok() || imported.error().code == -1);
        return imported.ok() ? QStringLiteral("<imported>") : imported.error().domain;
    };
    EXPECT_EQ(failure(QString(), KeyClass::Public), QStringLiteral("Key data is empty"));
    EXPECT_EQ(failure(publisherKey().publicPkcs1Pem, KeyClass::Symmetric),
              QStringLiteral("Key type unrecognized, should be kSecAttrKeyClassPrivate or kSecAttrKeyClassPublic"));
    EXPECT_EQ(failure(QStringLiteral("-----BEGIN RSA PUBLIC KEY-----\n!!!!\n-----END RSA PUBLIC KEY-----"), KeyClass::Public),
              QStringLiteral("Unable to convert String to Data"));
    // Valid base64 that is no key: the library's own description.
    EXPECT_FALSE(failure(QStringLiteral("-----BEGIN RSA PUBLIC KEY-----\nQUJDREVGR0g=\n-----END RSA PUBLIC KEY-----"),
                         KeyClass::Public)
                     .isEmpty());
    // Keys shorter than 2048 bits are refused, whatever their form; a public
    // key is not a private key, and the other way round.
    const TestKey weak = makeKey(1024);
    EXPECT_EQ(failure(weak.publicPkcs1Pem, KeyClass::Public), QStringLiteral("The key has 1024 bits; at least 2048 are required"));
    EXPECT_EQ(failure(weak.privatePkcs8Pem, KeyClass::Private), QStringLiteral("The key has 1024 bits; at least 2048 are required"));
    failure(publisherKey().publicPkcs1Pem, KeyClass::Private);
    failure(publisherKey().privatePkcs8Pem, KeyClass::Public);

    QString crlf = publisherKey().publicPkcs1Pem; // CRLF armour does not matter
    crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const QString bundled = moraine::bundledPublicKeyPem();
    for (const QString &pem : {publisherKey().publicPkcs1Pem, publisherKey().publicSpkiPem, crlf, bundled}) {
        const auto imported = importPEMKey(pem, KeyClass::Public);
        ASSERT_TRUE(imported.ok()) << imported.error().domain.toStdString();
        EXPECT_EQ(imported.value().bits(), 3072);
    }
    EXPECT_EQ(importPEMKey(bundled, KeyClass::Public).value().publicKeyPkcs1Pem().trimmed(), bundled);
}

TEST(PageSignature, IsCanonicalBase64AndOnlyTheUnchangedPageSignedByThePublisherVerifies)
{
    EXPECT_EQ(moraine::decodeStrictBase64(QStringLiteral("QUJD")), QByteArray("ABC"));
    EXPECT_EQ(moraine::decodeStrictBase64(QStringLiteral("QUI=")), QByteArray("AB"));
    EXPECT_EQ(moraine::decodeStrictBase64(QStringLiteral("QQ==")), QByteArray("A"));
    for (const char *bad : {"", "QUJ", "QUJD\n", "QU\nJD", "QU JD", "QUI", "Q===", "QQ=A", "=QUI", "QUJ-", "QUJ_",
                            "QUJD====", "QUJDé"}) {
        EXPECT_FALSE(moraine::decodeStrictBase64(QString::fromUtf8(bad)).has_value()) << bad;
    }

    const QByteArray unsignedPage = fixture(QStringLiteral("downloads-page.xhtml"));
    const QByteArray signedPage = signPage(unsignedPage);
    EXPECT_TRUE(verifies(signPage("\xEF\xBB\xBF" + unsignedPage))) << "a byte order mark is signed like any byte";

    QByteArray lineEnd = signedPage;
    lineEnd.replace(lineEnd.indexOf('\n'), 1, "\r\n");
    EXPECT_TRUE(failureOf(lineEnd, signatureOf(signedPage)).startsWith(QStringLiteral("SecKeyVerifySignature: ")));

    // 384 bytes expected; 381 decoded bytes are valid base64 but not a signature.
    QByteArray shortened = signedPage;
    shortened.replace(signatureOf(signedPage).toLatin1(), signatureOf(signedPage).left(508).toLatin1());
    EXPECT_TRUE(failureOf(shortened, signatureOf(shortened)).startsWith(QStringLiteral("SecKeyVerifySignature: ")));
    EXPECT_EQ(failureOf(signedPage, QStringLiteral("not base64!")), QStringLiteral("Failed to decode signature"));

    // Signed with the placeholder in the meta and in a paragraph, both carry the
    // signature and the page verifies; copying it into the page afterwards does not.
    QByteArray twice = unsignedPage;
    twice.replace("<p>Keep a copy", "<p>Signature: NIMBSignaturePlaceHolder</p><p>Keep a copy");
    const QByteArray signedTwice = signPage(twice);
    EXPECT_EQ(signedTwice.count(signatureOf(signedTwice).toLatin1()), 2);
    EXPECT_TRUE(verifies(signedTwice));
    QByteArray copied = signedPage;
    copied.replace("<p>Keep a copy", "<p>Signature: " + signatureOf(signedPage).toLatin1() + "</p><p>Keep a copy");
    EXPECT_FALSE(verifies(copied));
}
