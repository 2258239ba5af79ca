#pragma once

#include <QString>

namespace moraine {

/// The update page verification key built into the program (PKCS#1 PEM);
/// empty if the build carries none.
[[nodiscard]] QString bundledPublicKeyPem();

} // namespace moraine
