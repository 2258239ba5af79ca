#pragma once

#include <QImage>
#include <QPointer>
#include <QQuickImageProvider>
#include <QString>

class BackupController;

/// Serves "image://vellory/...", drawing what the engine describes: the
/// controller's pictures ("volume/N" — the
/// destination's icon or the missing-volume icon — and "file/<path>") and a
/// job's icon ("job/<job id>", the placeholder job's for an id no longer
/// listed). Asked on the main thread only (the views load these pictures
/// synchronously), as the controller lives there.
class ControllerImageProvider : public QQuickImageProvider
{
public:
    static constexpr const char *kProviderName = "vellory";

    explicit ControllerImageProvider(BackupController *controller);

    /// The image URL of the icon of the job with `jobId`.
    [[nodiscard]] static QString jobIconSource(const QString &jobId);

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;

private:
    [[nodiscard]] QImage imageForId(const QString &id) const;

    QPointer<BackupController> m_controller;
};
