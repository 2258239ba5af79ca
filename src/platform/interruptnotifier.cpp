#include "platform/interruptnotifier.h"

#include <QSocketNotifier>

#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace platform {

namespace {

sigset_t interruptSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

InterruptNotifier::InterruptNotifier(QObject *parent)
    : QObject(parent)
{
    const sigset_t set = interruptSignals();
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
        return;
    }
    m_fd.reset(signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!m_fd) {
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    m_notifier = new QSocketNotifier(m_fd.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InterruptNotifier::readSignal);
}

InterruptNotifier::~InterruptNotifier()
{
    if (m_fd) {
        const sigset_t set = interruptSignals();
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
}

void InterruptNotifier::readSignal()
{
    signalfd_siginfo info {};
    while (::read(m_fd.get(), &info, sizeof info) == ssize_t(sizeof info)) {
        emit interrupted(int(info.ssi_signo));
    }
}

} // namespace platform
