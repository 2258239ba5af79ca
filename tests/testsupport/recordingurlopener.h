#pragma once

#include "platform/urlopener.h"

#include <QStringList>
#include <QList>

// Stands in for the desktop: records every address and reveal instead of
// starting a browser, mail program or file manager.
class RecordingUrlOpener final : public platform::UrlOpener
{
public:
    RecordingUrlOpener() = default;
    RecordingUrlOpener(const RecordingUrlOpener &) = delete;
    RecordingUrlOpener &operator=(const RecordingUrlOpener &) = delete;

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
