#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class QMainWindow;
class QMdiArea;

// The host's application object as the screens see it: the main form with its MDI area,
// and ownership of the forms that screens create through it. A form created with
// CreateForm lives until the application ends or until the module that defines it is
// unloaded, whichever comes first.
namespace FasApplication {

// The host application registers its main window (and the MDI area inside it) at start.
void SetMainForm(QMainWindow* mainForm, QMdiArea* mdiArea);
QMainWindow* MainForm();
QMdiArea* MdiArea();

// Takes ownership of a newly created form (a top-level window without parent).
void AdoptForm(QWidget* form);

template <typename Form> Form* CreateForm()
{
    auto* form = new Form();
    AdoptForm(form);
    return form;
}

// Shows a form as a child window of the main form's MDI area (or as a top-level window
// when there is none, as in tests), brought to the front at its normal size.
void ShowMdiChild(QWidget* form);

// A child window whose lists' columns do not all show widens, as far as the MDI area allows
// from where it stands, so that no column starts off screen (with room for a vertical scroll
// bar). A maximised window, or a form outside the area, stays as it is. ShowMdiChild does it on
// opening; a screen whose columns grow with their data does it once they have.
void WidenForColumns(QWidget* form);

// Destroys every owned form whose class is defined in the shared object at `libraryPath`,
// so that unloading that module leaves no object behind whose code is gone.
void DestroyFormsOf(const QString& libraryPath);

// Destroys every owned form (application end).
void DestroyAllForms();

} // namespace FasApplication
