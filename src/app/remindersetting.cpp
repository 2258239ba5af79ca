#include "app/remindersetting.h"

#include "app/backupreminder.h"
#include "platform/preferences.h"

#include <iterator>

namespace {

// Days of 1 week, 2 weeks, 1 month and Never, in the order shown.
constexpr int kDayChoices[] = {7, 14, 30, 0};

} // namespace

ReminderSetting::ReminderSetting(QObject *parent)
    : QObject(parent)
{
}

int ReminderSetting::choice() const
{
    const int days = BackupReminder::intervalDays();
    for (int i = 0; i < int(std::size(kDayChoices)); ++i) {
        if (kDayChoices[i] == days) {
            return i;
        }
    }
    return 0;
}

void ReminderSetting::setChoice(int choice)
{
    if (choice < 0 || choice >= int(std::size(kDayChoices)) || choice == this->choice()) {
        return;
    }
    platform::preferences()->setValue(QLatin1String(BackupReminder::kIntervalKey), kDayChoices[choice]);
    emit choiceChanged();
}
