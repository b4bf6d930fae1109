#pragma once

#include "BusyAnimation.h"
#include "FasApplication.h"
#include "ShowModal.h"

#include <QPointer>

// The single instance of a unit's form, as every unit of the module keeps it: `boIdCriado`
// says the instance may be reused, `instance` points at it and clears itself when the form is
// destroyed (a QPointer). A form destroyed without being closed (say, with the forms of an
// unloaded module) is made again on the next request instead of being reached through a null
// pointer.
//
// A QPointer is cleared only in ~QObject, after the form's own destructor and those of its
// bases up to QWidget have run: code reached from there would still find the unit's variable
// set. None reads it then: the dialogs are top-level windows of their own, shown only modally,
// so none of their handlers runs while another form is being destroyed, and each form detaches
// its focus handlers first in its destructor. Code that may run after a form is gone tests
// the variable before using it.
template <typename Form> Form& UnitForm(bool& boIdCriado, QPointer<Form>& instance)
{
    if (!boIdCriado || !instance) {
        instance = FasApplication::CreateForm<Form>();
        boIdCriado = true;
    }
    return *instance;
}

// The create procedure of a dialog's unit: the instance made (under the hourglass) on its
// first request, then shown modally; returns when it has closed.
template <typename Form> void ShowUnitDialog(bool& boIdCriado, QPointer<Form>& instance)
{
    Form* form = nullptr;
    {
        const HourglassGuard hourglass;
        form = &UnitForm(boIdCriado, instance);
    }
    ShowModal(*form);
}
