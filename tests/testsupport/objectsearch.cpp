#include "objectsearch.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QVariant>

namespace {

QObject *search(QObject *object, const QString &name, QSet<QObject *> &seen)
{
    if (!object || seen.contains(object)) {
        return nullptr;
    }
    seen.insert(object);
    if (object->objectName() == name) {
        return object;
    }
    QList<QObject *> next = object->children();
    if (auto *item = qobject_cast<QQuickItem *>(object)) {
        const QList<QQuickItem *> items = item->childItems();
        next.append(QList<QObject *>(items.cbegin(), items.cend()));
    }
    if (auto *window = qobject_cast<QQuickWindow *>(object)) {
        next.append(window->contentItem());
    }
    for (const char *property : {"contentItem", "popupItem", "menuBar", "header"}) {
        if (auto *content = object->property(property).value<QObject *>()) {
            next.append(content);
        }
    }
    for (QObject *child : next) {
        if (QObject *found = search(child, name, seen)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

QObject *findObjectNamed(QObject *root, const QString &name)
{
    QSet<QObject *> seen;
    return search(root, name, seen);
}
