#include "ui/controllerimageprovider.h"

#include "backup/backupcontroller.h"
#include "backup/backupthreadlistmodel.h"
#include "ui/icondrawing.h"

#include <QUrl>

namespace {

const QString kJobPrefix = QStringLiteral("job/");

} // namespace

ControllerImageProvider::ControllerImageProvider(BackupController *controller)
    : QQuickImageProvider(QQuickImageProvider::Image)
    , m_controller(controller)
{
}

QString ControllerImageProvider::jobIconSource(const QString &jobId)
{
    return QStringLiteral("image://vellory/") + kJobPrefix + QString::fromLatin1(QUrl::toPercentEncoding(jobId));
}

QImage ControllerImageProvider::imageForId(const QString &id) const
{
    if (!m_controller) {
        return QImage();
    }
    if (id.startsWith(kJobPrefix)) {
        const QString jobId = QUrl::fromPercentEncoding(id.mid(kJobPrefix.size()).toUtf8());
        BackupThread *job = m_controller->threads()->jobOrPlaceholder(jobId);
        return job ? icondrawing::draw(job->icon()) : QImage();
    }
    return icondrawing::draw(m_controller->iconForId(id));
}

QImage ControllerImageProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize)
{
    QImage image = imageForId(id);
    if (image.isNull()) {
        // A transparent pixel rather than a null image: the view stays quiet
        // and keeps its frame.
        image = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
    } else if (requestedSize.isValid() && !requestedSize.isEmpty() && image.size() != requestedSize) {
        image = image.scaled(requestedSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    if (size) {
        *size = image.size();
    }
    return image;
}
