#pragma once

#include "Moraine/update/rsakey.h"
#include "Moraine/update/xmlnode.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace moraine {

/// The text a publisher puts in the signature meta before signing.
inline constexpr char kSignaturePlaceholder[] = "NIMBSignaturePlaceHolder";

/// The signature metas of a parsed page, as the checker reads them: every
/// "NIMBSignature" meta in every head of the root; the last one counts.
struct SignatureMetas
{
    int count = 0;
    std::optional<QString> lastContent; ///< the last meta's content, if it has one
};
[[nodiscard]] SignatureMetas signatureMetas(const XmlNode &root);

/// The bytes the page's signature covers: the page with every occurrence of
/// the signature text written as the placeholder. A page that is not valid
/// UTF-8 is signed as received.
[[nodiscard]] QByteArray signedMessage(const QByteArray &page, const QString &signatureText);

/// Decodes standard base64 strictly: only the RFC 4648 alphabet, length a
/// multiple of four, "=" only as final padding, no line breaks, not empty.
[[nodiscard]] std::optional<QByteArray> decodeStrictBase64(const QString &text);

/// Checks an RSA PKCS#1 v1.5 / SHA-256 signature of the page. Returns
/// nothing when it holds, else the reason ("Failed to decode signature" or
/// "SecKeyVerifySignature: " + the verifier's description).
[[nodiscard]] std::optional<QString> verifyPageSignature(const QByteArray &page, const QString &signatureText,
                                                         const RsaKey &publicKey);

/// Signs a message with a private key (RSA PKCS#1 v1.5 over SHA-256): the
/// signature as standard base64, or the library's reason.
[[nodiscard]] KMResult<QString> signMessage(const QByteArray &message, const RsaKey &privateKey);

} // namespace moraine
