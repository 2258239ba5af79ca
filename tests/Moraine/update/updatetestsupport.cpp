#include "updatetestsupport.h"

#include "Moraine/update/pagesignature.h"
#include "Moraine/update/updatepreferences.h"

#include <QFile>

#include <openssl/encoder.h>
#include <openssl/evp.h>
#include <openssl/x509v3.h>

namespace {

// The PEM text of `key` as `structure` ("PrivateKeyInfo", "type-specific", ...).
QString pemOf(EVP_PKEY *key, int selection, const char *structure)
{
    OSSL_ENCODER_CTX *context = OSSL_ENCODER_CTX_new_for_pkey(key, selection, "PEM", structure, nullptr);
    unsigned char *data = nullptr;
    size_t length = 0;
    if (!context || OSSL_ENCODER_to_data(context, &data, &length) != 1) {
        qFatal("PEM encoding failed");
    }
    OSSL_ENCODER_CTX_free(context);
    const QString pem = QString::fromLatin1(reinterpret_cast<const char *>(data), static_cast<qsizetype>(length));
    OPENSSL_free(data);
    return pem;
}

} // namespace

TestKey makeKey(unsigned bits)
{
    EVP_PKEY *generated = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(bits));
    if (!generated) {
        qFatal("RSA key generation failed");
    }
    TestKey key{pemOf(generated, EVP_PKEY_KEYPAIR, "PrivateKeyInfo"), pemOf(generated, EVP_PKEY_KEYPAIR, "type-specific"),
                pemOf(generated, EVP_PKEY_PUBLIC_KEY, "type-specific"),
                pemOf(generated, EVP_PKEY_PUBLIC_KEY, "SubjectPublicKeyInfo"), std::nullopt, std::nullopt};
    EVP_PKEY_free(generated);
    key.privateKey = moraine::importPEMKey(key.privatePkcs8Pem, moraine::KeyClass::Private).toOptional();
    key.publicKey = moraine::importPEMKey(key.publicPkcs1Pem, moraine::KeyClass::Public).toOptional();
    return key;
}

const TestKey &publisherKey()
{
    static const TestKey key = makeKey(3072);
    return key;
}

const TestKey &otherKey()
{
    static const TestKey key = makeKey(2048);
    return key;
}

QByteArray loopbackCertificateDer()
{
    EVP_PKEY *key = otherKey().privateKey->get();
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
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "IP:127.0.0.1");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
    X509_sign(certificate, key, EVP_sha256());
    unsigned char *data = nullptr;
    const int length = i2d_X509(certificate, &data);
    const QByteArray der(reinterpret_cast<const char *>(data), length);
    OPENSSL_free(data);
    X509_free(certificate);
    return der;
}

QByteArray fixture(const QString &name)
{
    QFile file(QStringLiteral(VELLORY_UPDATE_TEST_DATA "/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << "missing fixture " << name.toStdString();
    return file.readAll();
}

QByteArray signPage(const QByteArray &pageWithPlaceholder, const TestKey &key)
{
    const auto signature = moraine::signMessage(pageWithPlaceholder, *key.privateKey);
    EXPECT_TRUE(signature.ok()) << "signing failed: " << signature.error().domain.toStdString();
    return QByteArray(pageWithPlaceholder)
        .replace(moraine::kSignaturePlaceholder, signature.toOptional().value_or(QString()).toLatin1());
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

std::shared_ptr<int> countCompletions(moraine::NIMBLite &check)
{
    auto count = std::make_shared<int>(0);
    check.setOnCompletion([count] { ++*count; });
    return count;
}

::testing::AssertionResult logHas(const moraine::NIMBLite &check, const QString &line, bool prefix)
{
    for (const QString &logged : check.log()) {
        if (prefix ? logged.startsWith(line) : logged == line) {
            return ::testing::AssertionSuccess();
        }
    }
    return ::testing::AssertionFailure() << "no line " << (prefix ? "starting " : "") << "\"" << line.toStdString()
                                         << "\" in\n" << check.log().join(QLatin1Char('\n')).toStdString();
}
