#pragma once

#include <QFileDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <QQuickWindow>

/// A file dialog that chooses one item, a file or a folder: "Open" on a
/// selected folder chooses that folder instead of entering it (entering is a
/// double click, or its path typed into the name field).
class FileOrFolderDialog : public QFileDialog
{
    Q_OBJECT

public:
    explicit FileOrFolderDialog(const QString &caption = QString(), const QString &directory = QString());

    /// The chosen item's path once the dialog was accepted; empty before.
    [[nodiscard]] QString chosenPath() const { return m_chosenPath; }

    void accept() override;

private:
    QString m_chosenPath;
};

/// Lets a view ask for one file or folder in a dialog that is modal for the
/// view's window. `chosen` brings the location; cancelling brings nothing.
class ItemChooser : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(QString startFolder READ startFolder WRITE setStartFolder NOTIFY startFolderChanged)
    Q_PROPERTY(bool isOpen READ isOpen NOTIFY isOpenChanged)

public:
    explicit ItemChooser(QObject *parent = nullptr);
    ~ItemChooser() override;

    [[nodiscard]] QString title() const { return m_title; }
    void setTitle(const QString &title);
    [[nodiscard]] QString startFolder() const { return m_startFolder; }
    void setStartFolder(const QString &folder);
    [[nodiscard]] bool isOpen() const { return m_dialog != nullptr; }
    /// The dialog on screen, for tests; null when none.
    [[nodiscard]] FileOrFolderDialog *dialog() const { return m_dialog; }

    /// Shows the dialog over `window`. Without a window nothing happens and
    /// false comes back; while a dialog is open it is brought forward.
    Q_INVOKABLE bool open(QQuickWindow *window);

signals:
    void titleChanged();
    void startFolderChanged();
    void isOpenChanged();
    void chosen(const QUrl &url);

private:
    QString m_title;
    QString m_startFolder;
    QPointer<FileOrFolderDialog> m_dialog;
};
