#include "app/loginstart.h"

#include "platform/autostartentry.h"
#include "platform/buildinfo.h"

#include <QCoreApplication>

namespace {

platform::AutostartEntry entry()
{
    return platform::AutostartEntry(platform::buildinfo::bundleIdentifier());
}

} // namespace

LoginStart::LoginStart(QObject *parent)
    : QObject(parent)
{
}

bool LoginStart::enabled() const
{
    return entry().isEnabled();
}

void LoginStart::setEnabled(bool enabled)
{
    if (enabled == this->enabled()) {
        return;
    }
    const QString error = enabled ? entry().enable(QCoreApplication::applicationFilePath(),
                                                   {QString::fromLatin1(kBackgroundOption)})
                                  : entry().disable();
    if (error != m_error) {
        m_error = error;
        emit errorChanged();
    }
    emit enabledChanged();
}
