#include "Moraine/update/pagesignature.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <openssl/err.h>
#include <openssl/evp.h>

#include <memory>

namespace moraine {

namespace {

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

bool isBase64Alphabet(char16_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

} // namespace

QByteArray signedMessage(const QByteArray &page, const QString &signatureText)
{
    if (signatureText.isEmpty()) {
        return page;
    }
    // The initial BOM must survive the round trip, or a page with one would
    // never verify.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(page);
    if (decoder.hasError()) {
        return page;
    }
    text.replace(signatureText, QString::fromLatin1(kSignaturePlaceholder));
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::ConvertInitialBom);
    QByteArray message = encoder.encode(text);
    if (encoder.hasError()) {
        return page;
    }
    return message;
}

std::optional<QByteArray> decodeStrictBase64(const QString &text)
{
    if (text.isEmpty() || text.size() % 4 != 0) {
        return std::nullopt;
    }
    qsizetype padding = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == '=') {
            ++padding;
            continue;
        }
        if (padding > 0 || !isBase64Alphabet(c)) {
            return std::nullopt;
        }
    }
    if (padding > 2) {
        return std::nullopt;
    }
    auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return std::nullopt;
    }
    return decoded.decoded;
}

std::optional<QString> verifyPageSignature(const QByteArray &page, const QString &signatureText,
                                           const RsaKey &publicKey)
{
    const QByteArray message = signedMessage(page, signatureText);
    const std::optional<QByteArray> signature = decodeStrictBase64(signatureText);
    if (!signature) {
        return QStringLiteral("Failed to decode signature");
    }
    ERR_clear_error();
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, publicKey.get()) != 1) {
        return QStringLiteral("SecKeyVerifySignature: ") + takeOpenSslError(QStringLiteral("verifier unavailable"));
    }
    const int verdict = EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(signature->constData()),
                                         static_cast<size_t>(signature->size()),
                                         reinterpret_cast<const unsigned char *>(message.constData()),
                                         static_cast<size_t>(message.size()));
    if (verdict == 1) {
        ERR_clear_error();
        return std::nullopt;
    }
    return QStringLiteral("SecKeyVerifySignature: ")
           + takeOpenSslError(QStringLiteral("the signature does not match the page"));
}

KMResult<QString> signMessage(const QByteArray &message, const RsaKey &privateKey)
{
    ERR_clear_error();
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    size_t length = 0;
    const auto *data = reinterpret_cast<const unsigned char *>(message.constData());
    const auto size = static_cast<size_t>(message.size());
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, privateKey.get()) != 1
        || EVP_DigestSign(context.get(), nullptr, &length, data, size) != 1) {
        return KMError{takeOpenSslError(QStringLiteral("signing is not possible with this key")), -1};
    }
    QByteArray signature(static_cast<qsizetype>(length), Qt::Uninitialized);
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()), &length, data, size) != 1) {
        return KMError{takeOpenSslError(QStringLiteral("signing failed")), -1};
    }
    signature.resize(static_cast<qsizetype>(length));
    return QString::fromLatin1(signature.toBase64());
}

SignatureMetas signatureMetas(const XmlNode &root)
{
    SignatureMetas metas;
    for (const XmlNode &head : root.children()) {
        if (!head.isElement() || head.name() != QLatin1String("head")) {
            continue;
        }
        for (const XmlNode &item : head.children()) {
            if (item.isElement() && item.name() == QLatin1String("meta")
                && item.attribute(QStringLiteral("name")) == QLatin1String("NIMBSignature")) {
                ++metas.count;
                metas.lastContent = item.attribute(QStringLiteral("content"));
            }
        }
    }
    return metas;
}

} // namespace moraine
