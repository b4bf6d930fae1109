#include "FasApplication.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScrollBar>
#include <QTableView>
#include <dlfcn.h>

namespace {

struct ApplicationState
{
    QPointer<QMainWindow> mainForm;
    QPointer<QMdiArea> mdiArea;
    QList<QPointer<QWidget>> forms;
};

ApplicationState& state()
{
    static ApplicationState instance;
    return instance;
}

QString definingObject(const QWidget* form)
{
    Dl_info info{};
    if (dladdr(static_cast<const void*>(form->metaObject()), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalFilePath();
}

void destroyForm(QWidget* form)
{
    // An MDI child lives inside a sub-window that the MDI area owns; both go together.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget())) {
        sub->setWidget(nullptr);
        delete sub;
    }
    delete form;
}

// How much wider a shown form must be for every column of its lists to show without scrolling
// sideways, with room for the vertical scroll bar that a loaded list will have.
int widthMissingForColumns(const QWidget* form)
{
    int missing = 0;
    const auto views = form->findChildren<QTableView*>();
    for (const QTableView* view : views) {
        if (!view->isVisible())
            continue;
        const int scrollBar = view->verticalScrollBar()->isVisible()
                                  ? 0
                                  : view->verticalScrollBar()->sizeHint().width();
        missing = std::max(missing, view->horizontalHeader()->length() + scrollBar -
                                        view->viewport()->width());
    }
    return missing;
}

} // namespace

namespace FasApplication {

void SetMainForm(QMainWindow* mainForm, QMdiArea* mdiArea)
{
    state().mainForm = mainForm;
    state().mdiArea = mdiArea;
}

QMainWindow* MainForm()
{
    return state().mainForm;
}

QMdiArea* MdiArea()
{
    return state().mdiArea;
}

void AdoptForm(QWidget* form)
{
    state().forms.removeAll(nullptr);
    state().forms.append(form);
}

void ShowMdiChild(QWidget* form)
{
    QMdiArea* area = state().mdiArea;
    if (!area) {
        form->showNormal();
        form->raise();
        form->activateWindow();
        return;
    }
    // A window opened over a maximised one opens maximised too, so that the one below is
    // still maximised when it closes (a normal window over it would un-maximise it).
    auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget());
    QMdiSubWindow* active = area->activeSubWindow();
    const bool maximised = active && active != sub && active->isMaximized();
    const bool opening = !sub;
    if (!sub) {
        sub = area->addSubWindow(form);
        sub->setAttribute(Qt::WA_DeleteOnClose, false);
        // The form decides its own life; its sub-window follows it.
        QObject::connect(form, &QObject::destroyed, sub, &QObject::deleteLater);
        // The area restores the window below when this one opens maximised over it; it is
        // maximised again when this one goes.
        if (maximised)
            QObject::connect(form, &QObject::destroyed, active, [below = QPointer(active)] {
                if (below)
                    below->showMaximized();
            });
        sub->resize(form->size().expandedTo(form->minimumSizeHint()) + QSize(8, 30));
        // A new window opens cascaded from the top left corner, back at the corner when it
        // would not fit.
        const int step = 24 * (area->subWindowList().size() - 1);
        QPoint at(step, step);
        const QSize room = area->viewport()->size();
        if (at.x() + sub->width() > room.width() || at.y() + sub->height() > room.height())
            at = QPoint(0, 0);
        sub->move(at);
    }
    if (maximised)
        sub->showMaximized();
    else
        sub->showNormal();
    form->show();
    if (opening)
        WidenForColumns(form);
    area->setActiveSubWindow(sub);
    sub->raise();
}

void WidenForColumns(QWidget* form)
{
    auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget());
    QMdiArea* area = state().mdiArea;
    if (!sub || !area || sub->isMaximized() || sub->isMinimized() || !form->isVisible())
        return;
    const int room = area->viewport()->width() - std::max(0, sub->x());
    const int wanted = sub->width() + widthMissingForColumns(form);
    if (wanted > sub->width() && sub->width() < room)
        sub->resize(std::min(wanted, room), sub->height());
}

void DestroyFormsOf(const QString& libraryPath)
{
    const QString target = QFileInfo(libraryPath).canonicalFilePath();
    auto& forms = state().forms;
    for (auto it = forms.begin(); it != forms.end();) {
        QWidget* form = *it;
        if (form && definingObject(form) == target) {
            destroyForm(form);
            it = forms.erase(it);
        } else if (!form) {
            it = forms.erase(it);
        } else {
            ++it;
        }
    }
}

void DestroyAllForms()
{
    const auto forms = std::exchange(state().forms, {});
    for (const QPointer<QWidget>& form : forms) {
        if (form)
            destroyForm(form);
    }
}

} // namespace FasApplication
