#include "Moraine/update/bundledkey.h"

#include <QFile>

namespace moraine {

QString bundledPublicKeyPem()
{
    QFile file(QStringLiteral(":/Moraine/update/update-public-key.pem"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLatin1(file.readAll());
}

} // namespace moraine
