#include "ui/enterpressesbuttons.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>

EnterPressesButtons::EnterPressesButtons(QObject *parent)
    : QObject(parent)
{
}

bool EnterPressesButtons::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) {
        return false;
    }
    const auto *key = static_cast<QKeyEvent *>(event);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    auto *window = qobject_cast<QQuickWindow *>(watched);
    QQuickItem *focus = window ? window->activeFocusItem() : nullptr;
    if (!focus || !focus->inherits("QQuickAbstractButton")) {
        return false;
    }
    // The button gets the key it knows, pressed and released as Enter is.
    QKeyEvent space(key->type(), Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), key->isAutoRepeat());
    QCoreApplication::sendEvent(window, &space);
    return true;
}
