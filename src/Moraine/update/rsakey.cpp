#include "Moraine/update/rsakey.h"

#include <QRegularExpression>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

namespace moraine {

namespace {

// Removes "-----BEGIN ...-----" / "-----END ...-----" markers wherever they
// stand, so their letters are not read as base64.
QString withoutArmour(QString text)
{
    static const QRegularExpression armour(QStringLiteral("-----(BEGIN|END)[^-]*-----"));
    return text.remove(armour);
}

// Keeps only base64 alphabet characters, as a lenient decoder would.
QByteArray decodeLenientBase64(const QString &text)
{
    QByteArray alphabetOnly;
    alphabetOnly.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '+' || u == '/'
            || u == '=') {
            alphabetOnly.append(static_cast<char>(u));
        }
    }
    return QByteArray::fromBase64(alphabetOnly);
}

EVP_PKEY *decodePublic(const QByteArray &der)
{
    const auto *begin = reinterpret_cast<const unsigned char *>(der.constData());
    const unsigned char *p = begin;
    // Try PKCS#1 RSAPublicKey first (the form the application ships), then SPKI.
    if (EVP_PKEY *key = d2i_PublicKey(EVP_PKEY_RSA, nullptr, &p, der.size()); key && p == begin + der.size()) {
        return key;
    } else if (key) {
        EVP_PKEY_free(key);
    }
    ERR_clear_error();
    p = begin;
    if (EVP_PKEY *key = d2i_PUBKEY(nullptr, &p, der.size()); key && p == begin + der.size()) {
        return key;
    } else if (key) {
        EVP_PKEY_free(key);
    }
    return nullptr;
}

EVP_PKEY *decodePrivate(const QByteArray &der)
{
    const auto *begin = reinterpret_cast<const unsigned char *>(der.constData());
    const unsigned char *p = begin;
    // d2i_AutoPrivateKey accepts both PKCS#1 RSAPrivateKey and PKCS#8.
    if (EVP_PKEY *key = d2i_AutoPrivateKey(nullptr, &p, der.size()); key && p == begin + der.size()) {
        return key;
    } else if (key) {
        EVP_PKEY_free(key);
    }
    return nullptr;
}

} // namespace

RsaKey::RsaKey(EVP_PKEY *adopted, KeyClass keyClass)
    : m_key(adopted, &EVP_PKEY_free)
    , m_class(keyClass)
{
}

int RsaKey::bits() const
{
    return m_key ? EVP_PKEY_get_bits(m_key.get()) : 0;
}

QString RsaKey::publicKeyPkcs1Pem() const
{
    unsigned char *der = nullptr;
    const int length = i2d_PublicKey(m_key.get(), &der);
    if (length <= 0) {
        return {};
    }
    const QByteArray base64 = QByteArray(reinterpret_cast<const char *>(der), length).toBase64();
    OPENSSL_free(der);
    QString pem = QStringLiteral("-----BEGIN RSA PUBLIC KEY-----\n");
    for (qsizetype i = 0; i < base64.size(); i += 64) {
        pem += QString::fromLatin1(base64.mid(i, 64)) + QLatin1Char('\n');
    }
    pem += QStringLiteral("-----END RSA PUBLIC KEY-----\n");
    return pem;
}

QString takeOpenSslError(const QString &fallback)
{
    unsigned long code = 0;
    unsigned long last = 0;
    while ((code = ERR_get_error()) != 0) {
        last = code;
    }
    if (last == 0) {
        return fallback;
    }
    char buffer[256];
    ERR_error_string_n(last, buffer, sizeof buffer);
    return QString::fromLatin1(buffer);
}

namespace {

KMError keyError(const QString &message)
{
    return {message, -1};
}

} // namespace

KMResult<RsaKey> importPEMKey(const QString &pem, KeyClass keyClass)
{
    if (pem.isEmpty()) {
        return keyError(QStringLiteral("Key data is empty"));
    }
    if (keyClass != KeyClass::Public && keyClass != KeyClass::Private) {
        return keyError(
            QStringLiteral("Key type unrecognized, should be kSecAttrKeyClassPrivate or kSecAttrKeyClassPublic"));
    }
    const QByteArray der = decodeLenientBase64(withoutArmour(pem));
    if (der.isEmpty()) {
        return keyError(QStringLiteral("Unable to convert String to Data"));
    }
    ERR_clear_error();
    EVP_PKEY *key = keyClass == KeyClass::Public ? decodePublic(der) : decodePrivate(der);
    if (!key) {
        return keyError(takeOpenSslError(QStringLiteral("The key data is not an RSA key of the requested class")));
    }
    if (!EVP_PKEY_is_a(key, "RSA")) {
        EVP_PKEY_free(key);
        return keyError(QStringLiteral("The key is not an RSA key"));
    }
    // Shorter keys can be factored with means within reach; a page signed
    // with one proves nothing.
    if (const int bits = EVP_PKEY_get_bits(key); bits < kMinimumKeyBits) {
        EVP_PKEY_free(key);
        return keyError(QStringLiteral("The key has %1 bits; at least %2 are required").arg(bits).arg(kMinimumKeyBits));
    }
    return RsaKey(key, keyClass);
}

} // namespace moraine
