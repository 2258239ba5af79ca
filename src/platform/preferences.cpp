#include "platform/preferences.h"

#include "platform/buildinfo.h"

namespace platform {

std::unique_ptr<QSettings> preferences()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       buildinfo::organizationName(), buildinfo::applicationName());
}

bool boolPreference(const QString &key, bool absentValue)
{
    const auto settings = preferences();
    const QVariant value = settings->value(key);
    return value.isValid() ? value.toBool() : absentValue;
}

} // namespace platform
