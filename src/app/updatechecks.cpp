#include "app/updatechecks.h"

#include "Moraine/update/nimblite.h"

#include <QCoreApplication>
#include <QPointer>

UpdateChecks::UpdateChecks(moraine::UpdateServices &services, QObject *parent)
    : QObject(parent)
    , m_services(services)
{
    // For queued connections and spies on the signals.
    qRegisterMetaType<moraine::NIMBLite *>();
    qRegisterMetaType<UpdateChecks::Kind>();
}

void UpdateChecks::setFactory(Factory factory)
{
    m_factory = std::move(factory);
}

moraine::NIMBLite *UpdateChecks::startManualCheck()
{
    return start(Kind::Manual);
}

moraine::NIMBLite *UpdateChecks::startSilentCheck()
{
    return start(Kind::Silent);
}

moraine::NIMBLite *UpdateChecks::start(Kind kind)
{
    moraine::NIMBLite *check = m_factory ? m_factory() : new moraine::NIMBLite(m_services);
    // A check the person cancels never completes; the application then
    // takes the object with it at exit.
    if (!check->parent()) {
        check->setParent(QCoreApplication::instance());
    }
    // The check may outlive this object (a check still running at exit).
    check->setOnCompletion([self = QPointer<UpdateChecks>(this), check, kind] {
        if (self) {
            emit self->checkFinished(check, kind);
        }
        check->deleteLater();
    });
    if (kind == Kind::Manual) {
        check->performManualCheck();
    } else {
        check->performSilentCheck();
    }
    return check;
}
