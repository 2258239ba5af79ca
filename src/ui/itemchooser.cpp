#include "ui/itemchooser.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QQuickWindow>
#include <QWindow>

FileOrFolderDialog::FileOrFolderDialog(const QString &caption, const QString &directory)
    : QFileDialog(nullptr, caption, directory)
{
    // The desktop's own dialogs choose either files or folders, never both.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    connect(this, &QFileDialog::fileSelected, this, [this](const QString &file) { m_chosenPath = file; });
}

void FileOrFolderDialog::accept()
{
    // A folder typed into the name field (and Enter) is opened, as in every
    // file dialog; one picked in the list is chosen.
    auto *typed = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (typed && typed->isModified() && !typed->text().isEmpty()) {
        const QString path = directory().absoluteFilePath(typed->text());
        if (QFileInfo(path).isDir()) {
            setDirectory(path);
            typed->clear();
            typed->setModified(false);
            return;
        }
    }
    const QStringList files = selectedFiles();
    if (files.size() == 1 && QFileInfo(files.first()).isDir()) {
        m_chosenPath = files.first();
        QDialog::accept();
        return;
    }
    QFileDialog::accept();
}

ItemChooser::ItemChooser(QObject *parent)
    : QObject(parent)
{
}

ItemChooser::~ItemChooser()
{
    delete m_dialog.data();
}

void ItemChooser::setTitle(const QString &title)
{
    if (m_title == title) {
        return;
    }
    m_title = title;
    emit titleChanged();
}

void ItemChooser::setStartFolder(const QString &folder)
{
    if (m_startFolder == folder) {
        return;
    }
    m_startFolder = folder;
    emit startFolderChanged();
}

bool ItemChooser::open(QQuickWindow *window)
{
    if (!window) {
        return false;
    }
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return true;
    }
    auto *dialog = new FileOrFolderDialog(m_title, m_startFolder);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->winId(); // makes the native window, so it can be tied to the view's
    dialog->windowHandle()->setTransientParent(window);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        if (!dialog->chosenPath().isEmpty()) {
            emit chosen(QUrl::fromLocalFile(dialog->chosenPath()));
        }
    });
    connect(dialog, &QObject::destroyed, this, [this] { emit isOpenChanged(); });
    m_dialog = dialog;
    dialog->open();
    emit isOpenChanged();
    return true;
}
