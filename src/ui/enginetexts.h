#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

/// The engine's texts in the person's language. The engine (and the
/// controller) speak English, which the log keeps; what the windows show of
/// them (a job's title and message, the volume's labels, a refusal) is
/// matched against the known English sentences here and given in the
/// installed translation, with their values (names, counts, sizes)
/// translated in turn. A text no sentence matches is shown as it is.
class EngineTexts : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit EngineTexts(QObject *parent = nullptr);

    /// `text` translated, or `text` itself when it is no known sentence.
    Q_INVOKABLE static QString translate(const QString &text);
};
