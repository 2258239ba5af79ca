#include "updatetestsupport.h"

#include "Moraine/update/bundledkey.h"
#include "Moraine/update/pagesignature.h"
#include "Moraine/update/rsakey.h"

#include <gtest/gtest.h>

using moraine::decodeStrictBase64;
using moraine::importPEMKey;
using moraine::KeyClass;
using moraine::verifyPageSignature;

TEST(KeyImport, ReportsEachFailureWithItsOwnText)
{
    EXPECT_EQ(importPEMKey(QString(), KeyClass::Public).error, QStringLiteral("Key data is empty"));
    EXPECT_EQ(importPEMKey(publisherKey().publicPkcs1Pem, KeyClass::Symmetric).error,
              QStringLiteral("Key type unrecognized, should be kSecAttrKeyClassPrivate or kSecAttrKeyClassPublic"));
    EXPECT_EQ(importPEMKey(QStringLiteral("-----BEGIN RSA PUBLIC KEY-----\n!!!!\n-----END RSA PUBLIC KEY-----"),
                           KeyClass::Public)
                  .error,
              QStringLiteral("Unable to convert String to Data"));

    // Valid base64 that is no key: the library's own description, no key.
    const auto notAKey = importPEMKey(QStringLiteral("-----BEGIN RSA PUBLIC KEY-----\nQUJDREVGR0g=\n-----END RSA PUBLIC KEY-----"),
                                      KeyClass::Public);
    EXPECT_FALSE(notAKey.key.has_value());
    EXPECT_FALSE(notAKey.error.isEmpty());

    // Keys shorter than 2048 bits are refused, whatever their form.
    const TestKeyPems weak = makeKeyPems(1024);
    for (const auto &[pem, keyClass] : {std::pair{weak.publicPkcs1Pem, KeyClass::Public},
                                        std::pair{weak.privatePkcs8Pem, KeyClass::Private}}) {
        const auto imported = importPEMKey(pem, keyClass);
        EXPECT_FALSE(imported.key.has_value());
        EXPECT_EQ(imported.error, QStringLiteral("The key has 1024 bits; at least 2048 are required"));
    }

    // A public key is not a private key, and the other way round.
    EXPECT_FALSE(importPEMKey(publisherKey().publicPkcs1Pem, KeyClass::Private).key.has_value());
    EXPECT_FALSE(importPEMKey(publisherKey().privatePkcs8Pem, KeyClass::Public).key.has_value());
}

TEST(KeyImport, AcceptsEveryPemFormOfItsClass)
{
    for (const QString &pem : {publisherKey().publicPkcs1Pem, publisherKey().publicSpkiPem}) {
        const auto imported = importPEMKey(pem, KeyClass::Public);
        ASSERT_TRUE(imported.key.has_value()) << imported.error.toStdString();
        EXPECT_EQ(imported.key->bits(), 3072);
    }
    for (const QString &pem : {publisherKey().privatePkcs1Pem, publisherKey().privatePkcs8Pem}) {
        const auto imported = importPEMKey(pem, KeyClass::Private);
        ASSERT_TRUE(imported.key.has_value()) << imported.error.toStdString();
        // The imported private key signs what the public half verifies.
        const auto signature = moraine::signMessage("page", *imported.key);
        ASSERT_TRUE(signature.has_value());
        EXPECT_FALSE(verifyPageSignature("page", *signature, publisherKey().publicKey).has_value());
    }
    // Line breaks in odd places and CRLF armour do not matter.
    QString crlf = publisherKey().publicPkcs1Pem;
    crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    EXPECT_TRUE(importPEMKey(crlf, KeyClass::Public).key.has_value());
}

TEST(KeyImport, TheBundledKeyIsA3072BitPkcs1PublicKeyOf600Characters)
{
    const QString pem = moraine::bundledPublicKeyPem();
    ASSERT_EQ(pem.size(), 600);
    EXPECT_TRUE(pem.startsWith(QStringLiteral("-----BEGIN RSA PUBLIC KEY-----\n")));
    EXPECT_TRUE(pem.endsWith(QStringLiteral("-----END RSA PUBLIC KEY-----")));
    const auto imported = importPEMKey(pem, KeyClass::Public);
    ASSERT_TRUE(imported.key.has_value()) << imported.error.toStdString();
    EXPECT_EQ(imported.key->bits(), 3072);
    EXPECT_EQ(imported.key->publicKeyPkcs1Pem().trimmed(), pem);
}

TEST(StrictBase64, RefusesAnythingButCanonicalStandardBase64)
{
    EXPECT_EQ(decodeStrictBase64(QStringLiteral("QUJD")), QByteArray("ABC"));
    EXPECT_EQ(decodeStrictBase64(QStringLiteral("QUI=")), QByteArray("AB"));
    EXPECT_EQ(decodeStrictBase64(QStringLiteral("QQ==")), QByteArray("A"));
    for (const char *bad : {"", "QUJ", "QUJD\n", "QU\nJD", "QU JD", "QUI", "Q===", "QQ=A", "=QUI", "QUJ-", "QUJ_",
                            "QUJD====", "QUJDé"}) {
        EXPECT_FALSE(decodeStrictBase64(QString::fromUtf8(bad)).has_value()) << bad;
    }
}

class PageSignature : public ::testing::Test
{
protected:
    QByteArray unsignedPage = fixture(QStringLiteral("downloads-page.xhtml"));
    QByteArray signedPage = signPage(unsignedPage);

    QString signatureOf(const QByteArray &page)
    {
        const qsizetype at = page.indexOf("name=\"NIMBSignature\" content=\"") + 30;
        return QString::fromLatin1(page.mid(at, page.indexOf('"', at) - at));
    }
};

TEST_F(PageSignature, ASignedPageVerifiesAndItsSignatureIs512Characters)
{
    const QString signature = signatureOf(signedPage);
    EXPECT_EQ(signature.size(), 512);
    EXPECT_FALSE(verifyPageSignature(signedPage, signature, publisherKey().publicKey).has_value());
}

TEST_F(PageSignature, OneChangedLineEndBreaksIt)
{
    QByteArray tampered = signedPage;
    const qsizetype firstLineEnd = tampered.indexOf('\n');
    tampered.replace(firstLineEnd, 1, "\r\n");
    const auto failure = verifyPageSignature(tampered, signatureOf(signedPage), publisherKey().publicKey);
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->startsWith(QStringLiteral("SecKeyVerifySignature: "))) << failure->toStdString();
}

TEST_F(PageSignature, ASignatureFromAnotherKeyOrOfTheWrongLengthFails)
{
    const QByteArray foreign = signPage(unsignedPage, otherKey().privateKey);
    EXPECT_TRUE(verifyPageSignature(foreign, signatureOf(foreign), publisherKey().publicKey).has_value());

    // 384 bytes expected; 381 decoded bytes are valid base64 but not a signature.
    const QString shortened = signatureOf(signedPage).left(508);
    QByteArray page = signedPage;
    page.replace(signatureOf(signedPage).toLatin1(), shortened.toLatin1());
    const auto failure = verifyPageSignature(page, shortened, publisherKey().publicKey);
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->startsWith(QStringLiteral("SecKeyVerifySignature: ")));

    const auto undecodable = verifyPageSignature(signedPage, QStringLiteral("not base64!"), publisherKey().publicKey);
    EXPECT_EQ(undecodable, QStringLiteral("Failed to decode signature"));
}

TEST_F(PageSignature, SignatureTextElsewhereCountsOnlyWhenSignedAsPlaceholderThere)
{
    // Signed with the placeholder in the meta and in a paragraph: both carry
    // the signature afterwards, and the page verifies.
    QByteArray twice = unsignedPage;
    twice.replace("<p>Keep a copy", "<p>Signature: NIMBSignaturePlaceHolder</p><p>Keep a copy");
    const QByteArray signedTwice = signPage(twice);
    EXPECT_EQ(signedTwice.count(signatureOf(signedTwice).toLatin1()), 2);
    EXPECT_FALSE(verifyPageSignature(signedTwice, signatureOf(signedTwice), publisherKey().publicKey).has_value());

    // Signed with the placeholder only in the meta; copying the signature
    // into the page afterwards changes the signed text.
    QByteArray copied = signedPage;
    const QByteArray signature = signatureOf(signedPage).toLatin1();
    copied.replace("<p>Keep a copy", "<p>Signature: " + signature + "</p><p>Keep a copy");
    EXPECT_TRUE(verifyPageSignature(copied, signatureOf(copied), publisherKey().publicKey).has_value());
}

TEST_F(PageSignature, APageWithAByteOrderMarkStillVerifies)
{
    const QByteArray withBom = signPage("\xEF\xBB\xBF" + unsignedPage);
    EXPECT_FALSE(verifyPageSignature(withBom, signatureOf(withBom), publisherKey().publicKey).has_value());
}
