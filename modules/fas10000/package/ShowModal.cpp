#include "ShowModal.h"

#include <QApplication>
#include <QDialog>

namespace {

class ArrowCursorScope
{
public:
    ArrowCursorScope() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~ArrowCursorScope() { QApplication::restoreOverrideCursor(); }
    ArrowCursorScope(const ArrowCursorScope&) = delete;
    ArrowCursorScope& operator=(const ArrowCursorScope&) = delete;
};

} // namespace

void ShowModal(QDialog& dialog)
{
    dialog.setVisible(false);
    const ArrowCursorScope arrow;
    dialog.exec();
}
