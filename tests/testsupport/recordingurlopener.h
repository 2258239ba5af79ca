#pragma once

#include "platform/urlopener.h"

#include <QStringList>
#include <QList>

// Stands in for the desktop: records addresses and reveals instead of opening them.
class RecordingUrlOpener final : public platform::UrlOpener
{
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return accept;
    }
    void revealInFileManager(const QString &path) override { revealed.append(path); }

    QList<QUrl> opened;
    QStringList revealed;
    bool accept = true;
};
