#include "platform/preferences.h"

#include "platform/buildinfo.h"

namespace platform {

std::unique_ptr<QSettings> preferences()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       buildinfo::organizationName(), buildinfo::applicationName());
}

} // namespace platform
