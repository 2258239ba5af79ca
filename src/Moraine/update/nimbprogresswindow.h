#pragma once

#include "Moraine/update/nimblite.h"
#include "Moraine/update/updateservices.h"

#include <QDialog>
#include <QPointer>

namespace moraine {

/// The small window a manual check shows while it waits for the server:
/// "<name> Updates", the checking text, an indeterminate bar and " Cancel "
/// (also Escape). Made by NIMBProgressPresenter.
class NIMBProgressWindow final : public QDialog
{
    Q_OBJECT

public:
    explicit NIMBProgressWindow(NIMBLite *check);

    [[nodiscard]] NIMBLite *check() const { return m_check; }

    /// Cancel: the check's answer will be ignored; the window goes away
    /// right after, from the main thread's queue.
    void reject() override;

private:
    QPointer<NIMBLite> m_check;
};

/// Keeps the update service's one progress window: at most one exists, a
/// second manual check brings it forward. The application owns one and hands
/// progressWindow() to its update services.
class NIMBProgressPresenter : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~NIMBProgressPresenter() override;

    /// Shows the window for `check`, or raises the one that is open.
    void present(NIMBLite *check);
    /// Hides and forgets the open window, if any.
    void dismiss();
    /// The open window, if any.
    [[nodiscard]] NIMBProgressWindow *current() const { return m_window; }

    /// present() and dismiss() for the update services; they do nothing
    /// once this presenter is gone.
    [[nodiscard]] UpdateServices::ProgressWindow progressWindow();

private:
    QPointer<NIMBProgressWindow> m_window;
};

} // namespace moraine
