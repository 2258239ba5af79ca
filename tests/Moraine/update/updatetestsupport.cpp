#include "updatetestsupport.h"

#include "Moraine/update/pagesignature.h"
#include "Moraine/update/updatepreferences.h"
#include "platform/preferences.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace {

QString pem(const char *label, const QByteArray &der)
{
    const QByteArray base64 = der.toBase64();
    QString out = QStringLiteral("-----BEGIN %1-----\n").arg(QLatin1String(label));
    for (qsizetype i = 0; i < base64.size(); i += 64) {
        out += QString::fromLatin1(base64.mid(i, 64)) + QLatin1Char('\n');
    }
    return out + QStringLiteral("-----END %1-----\n").arg(QLatin1String(label));
}

// The PEM text of `key` in the DER form that `encode` writes.
template<typename Encoder>
QString pemOf(const char *label, EVP_PKEY *key, Encoder encode)
{
    unsigned char *out = nullptr;
    const int length = encode(key, &out);
    const QByteArray bytes(reinterpret_cast<const char *>(out), length);
    OPENSSL_free(out);
    return pem(label, bytes);
}

int i2dPkcs8(const EVP_PKEY *key, unsigned char **out)
{
    PKCS8_PRIV_KEY_INFO *info = EVP_PKEY2PKCS8(key);
    const int length = i2d_PKCS8_PRIV_KEY_INFO(info, out);
    PKCS8_PRIV_KEY_INFO_free(info);
    return length;
}

} // namespace

TestKeyPems makeKeyPems(unsigned bits)
{
    EVP_PKEY *generated = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(bits));
    if (!generated) {
        qFatal("RSA key generation failed");
    }
    TestKeyPems pems{pemOf("PRIVATE KEY", generated, i2dPkcs8), pemOf("RSA PRIVATE KEY", generated, i2d_PrivateKey),
                     pemOf("RSA PUBLIC KEY", generated, i2d_PublicKey), pemOf("PUBLIC KEY", generated, i2d_PUBKEY)};
    EVP_PKEY_free(generated);
    return pems;
}

namespace {

TestKeyPair makeKeyPair(unsigned bits)
{
    const TestKeyPems pems = makeKeyPems(bits);
    auto privateKey = moraine::importPEMKey(pems.privatePkcs8Pem, moraine::KeyClass::Private);
    auto publicKey = moraine::importPEMKey(pems.publicPkcs1Pem, moraine::KeyClass::Public);
    if (!privateKey.key || !publicKey.key) {
        qFatal("test key import failed");
    }
    return {*privateKey.key, *publicKey.key, pems.privatePkcs8Pem, pems.privatePkcs1Pem, pems.publicPkcs1Pem,
            pems.publicSpkiPem};
}

} // namespace

const TestKeyPair &publisherKey()
{
    static const TestKeyPair pair = makeKeyPair(3072);
    return pair;
}

const TestKeyPair &otherKey()
{
    static const TestKeyPair pair = makeKeyPair(2048);
    return pair;
}

QByteArray loopbackCertificatePem()
{
    EVP_PKEY *key = otherKey().privateKey.get();
    X509 *certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 24 * 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME *name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(certificate, name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    for (const auto &[nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1"},
                                     std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
        X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
        X509_add_ext(certificate, extension, -1);
        X509_EXTENSION_free(extension);
    }
    X509_sign(certificate, key, EVP_sha256());
    BIO *out = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(out, certificate);
    char *data = nullptr;
    const long length = BIO_get_mem_data(out, &data);
    const QByteArray pem(data, static_cast<qsizetype>(length));
    BIO_free(out);
    X509_free(certificate);
    return pem;
}

QByteArray fixture(const QString &name)
{
    QFile file(QStringLiteral(VELLORY_UPDATE_TEST_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing fixture " << name.toStdString();
        return {};
    }
    return file.readAll();
}

QByteArray signPage(const QByteArray &pageWithPlaceholder, const moraine::RsaKey &key)
{
    QString error;
    const auto signature = moraine::signMessage(pageWithPlaceholder, key, &error);
    if (!signature) {
        ADD_FAILURE() << "signing failed: " << error.toStdString();
        return {};
    }
    QByteArray signedPage = pageWithPlaceholder;
    return signedPage.replace(moraine::kSignaturePlaceholder, signature->toLatin1());
}

QByteArray pageTemplate(const QByteArray &groups, const QByteArray &format, const QByteArray &extraHead)
{
    QByteArray page = fixture(QStringLiteral("page-template.xhtml"));
    page.replace("@FORMAT@", format);
    page.replace("@EXTRA_HEAD@", extraHead);
    page.replace("@GROUPS@", groups);
    return page;
}

QByteArray groupElement(const QByteArray &id, const QByteArray &build, const QByteArray &minOS,
                        const QByteArray &version, const QByteArray &archives, const QByteArray &extraAttributes)
{
    QByteArray element = "<section class=\"release NIMBGroup\" id=\"" + id + "\" date=\"20250101\"";
    if (!build.isNull()) {
        element += " build=\"" + build + "\"";
    }
    if (!minOS.isNull()) {
        element += " minOS=\"" + minOS + "\"";
    }
    element += extraAttributes + ">\n  <h2>Version <nimbgroupversion>" + version + "</nimbgroupversion></h2>\n  "
               + archives + "\n</section>\n";
    return element;
}

moraine::HostFacts facts(const QString &build, const QString &kernel)
{
    moraine::HostFacts facts = moraine::HostFacts::current();
    facts.buildNumber = build;
    facts.shortVersion = QStringLiteral("2.0.0");
    facts.kernelRelease = kernel;
    facts.machine = QStringLiteral("x86_64");
    return facts;
}

void clearUpdatePreferences()
{
    using namespace moraine::updateprefs;
    const auto settings = platform::preferences();
    for (const QString &key : {kNextUpdateCheckPeriod, kNextUpdateCheck, kCurrentUpdateInfo, kUpdateAvailable,
                               kIgnoreVersionInfo, kIgnoreMaintenance, kShowMoreOptions, kRemoteFileModDate}) {
        settings->remove(key);
    }
}

CompletionCounter::CompletionCounter(moraine::NIMBLite &check)
{
    check.setOnCompletion([count = m_count] { ++*count; });
}

bool CompletionCounter::waitForCompletion(int guardMs) const
{
    const std::shared_ptr<int> count = m_count;
    return QTest::qWaitFor([count] { return *count > 0; }, guardMs);
}

void CompletionCounter::settle() const
{
    QTest::qWait(100);
}

::testing::AssertionResult logHas(const moraine::NIMBLite &check, const QString &line)
{
    if (check.log().contains(line)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "no line \"" << line.toStdString() << "\" in\n"
                                         << check.log().join(QLatin1Char('\n')).toStdString();
}

::testing::AssertionResult logHasPrefix(const moraine::NIMBLite &check, const QString &prefix)
{
    for (const QString &line : check.log()) {
        if (line.startsWith(prefix)) {
            return ::testing::AssertionSuccess();
        }
    }
    return ::testing::AssertionFailure() << "no line starting \"" << prefix.toStdString() << "\" in\n"
                                         << check.log().join(QLatin1Char('\n')).toStdString();
}
