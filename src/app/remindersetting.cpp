#include "app/remindersetting.h"

#include "platform/settings.h"

#include <iterator>

namespace {

// Days of 1 week, 2 weeks, 1 month and Never, in the order shown.
constexpr int kDayChoices[] = {7, 14, 30, 0};

} // namespace

ReminderSetting::ReminderSetting(QObject *parent)
    : QObject(parent)
{
}

void ReminderSetting::setSettings(platform::Settings *settings)
{
    if (settings == m_settings) {
        return;
    }
    if (m_settings) {
        disconnect(m_settings, nullptr, this, nullptr);
    }
    m_settings = settings;
    if (m_settings) {
        connect(m_settings, &platform::Settings::remindAfterDaysChanged, this, &ReminderSetting::choiceChanged);
    }
    emit settingsChanged();
    emit choiceChanged();
}

int ReminderSetting::choice() const
{
    const int days = m_settings ? m_settings->remindAfterDays() : kDayChoices[0];
    for (int i = 0; i < int(std::size(kDayChoices)); ++i) {
        if (kDayChoices[i] == days) {
            return i;
        }
    }
    return 0;
}

void ReminderSetting::setChoice(int choice)
{
    if (!m_settings || choice < 0 || choice >= int(std::size(kDayChoices)) || choice == this->choice()) {
        return;
    }
    m_settings->setRemindAfterDays(kDayChoices[choice]);
}
