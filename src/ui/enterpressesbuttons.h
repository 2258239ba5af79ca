#pragma once

#include <QObject>

/// Makes Enter (and the keypad's Enter) press the focused button of every
/// Qt Quick window, as on every Linux desktop; the controls themselves take
/// only Space. Installed once on the application.
class EnterPressesButtons : public QObject
{
    Q_OBJECT

public:
    explicit EnterPressesButtons(QObject *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;
};
