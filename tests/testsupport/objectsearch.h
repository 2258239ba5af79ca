#pragma once

#include <QObject>
#include <QString>

// Finds the first object named `name` below `root`: QObject children, Quick
// child items, a window's content item, and the content of popups, menu bars
// and headers (which are not children of the item that shows them).
QObject *findObjectNamed(QObject *root, const QString &name);
