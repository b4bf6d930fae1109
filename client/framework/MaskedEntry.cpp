#include "MaskedEntry.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <algorithm>

namespace {

class MaskedEntryFilter : public QObject
{
public:
    explicit MaskedEntryFilter(QLineEdit& edit) : QObject(&edit), m_edit(&edit) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_edit)
            return false;
        if (event->type() == QEvent::MouseButtonRelease && isEmpty())
            m_edit->setCursorPosition(0);
        if (event->type() == QEvent::FocusIn &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::MouseFocusReason) {
            // After the field's own handling, which puts the cursor on the first blank.
            QTimer::singleShot(0, m_edit, [edit = m_edit] {
                if (edit && edit->hasFocus())
                    edit->selectAll();
            });
        }
        return false;
    }

private:
    // Nothing typed: only the mask's separators and blanks.
    bool isEmpty() const
    {
        const QString text = m_edit->text();
        return std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
    }

    QPointer<QLineEdit> m_edit;
};

} // namespace

void KeepMaskedEntryAtStart(QLineEdit& edit)
{
    edit.installEventFilter(new MaskedEntryFilter(edit));
}
