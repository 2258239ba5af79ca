#pragma once

#include "Moraine/kmresult.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

#include <openssl/types.h>

namespace moraine {

/// Which half of an RSA key pair a PEM text is expected to hold.
/// `Symmetric` exists so callers can name a class this import refuses.
enum class KeyClass { Public, Private, Symmetric };

/// An RSA key held by OpenSSL; cheap to copy (shared ownership), usable from
/// several threads at once for signing and verification.
class RsaKey
{
public:
    RsaKey(EVP_PKEY *adopted, KeyClass keyClass);

    [[nodiscard]] EVP_PKEY *get() const { return m_key.get(); }
    [[nodiscard]] KeyClass keyClass() const { return m_class; }
    [[nodiscard]] int bits() const;

    /// The public half in PKCS#1 form ("RSA PUBLIC KEY" PEM, 64-column lines).
    [[nodiscard]] QString publicKeyPkcs1Pem() const;

private:
    std::shared_ptr<EVP_PKEY> m_key;
    KeyClass m_class;
};

/// The shortest RSA key accepted, in bits.
inline constexpr int kMinimumKeyBits = 2048;

/// Turns a PEM text into an RSA key of the given class (of at least
/// kMinimumKeyBits bits). Public keys may be
/// PKCS#1 ("RSA PUBLIC KEY") or SubjectPublicKeyInfo ("PUBLIC KEY"); private
/// keys PKCS#1 ("RSA PRIVATE KEY") or PKCS#8 ("PRIVATE KEY", unencrypted).
/// Armour lines are dropped and characters outside the base64 alphabet
/// (line breaks) are ignored.
/// A failure is an error whose domain is the message and whose code is -1.
[[nodiscard]] KMResult<RsaKey> importPEMKey(const QString &pem, KeyClass keyClass);

/// The most recent OpenSSL error of this thread as text (and clears the
/// queue), or `fallback` when there is none.
[[nodiscard]] QString takeOpenSslError(const QString &fallback);

} // namespace moraine
