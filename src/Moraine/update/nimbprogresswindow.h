#pragma once

#include "Moraine/update/nimblite.h"

#include <QDialog>
#include <QPointer>

class QPushButton;

namespace moraine {

/// The small window a manual check shows while it waits for the server:
/// "<name> Updates", the checking text, an indeterminate bar and " Cancel "
/// (also Escape). At most one exists; a second check brings it forward.
class NIMBProgressWindow final : public QDialog
{
    Q_OBJECT

public:
    /// Makes this the window manual checks show (NIMBLite::setProgressWindow).
    /// Done on its own when the program starts, as linking this class means
    /// wanting it.
    static void install();
    /// Shows the window for `check`, or raises the one that is open.
    static void present(NIMBLite *check);
    /// Hides and forgets the open window, if any.
    static void dismiss();
    /// The open window, if any.
    [[nodiscard]] static NIMBProgressWindow *current();

    [[nodiscard]] NIMBLite *check() const { return m_check; }

    /// Cancel: the check's answer will be ignored; the window goes away
    /// right after, from the main thread's queue.
    void reject() override;

private:
    explicit NIMBProgressWindow(NIMBLite *check);

    QPointer<NIMBLite> m_check;
};

} // namespace moraine
