#pragma once

#include <QIcon>
#include <QStringList>

class QWidget;

// The pictures of the forms' tool buttons. Each button kind has our own 16x16 drawing, shipped
// as SVG in the program's resources (":/fas/icons/"), and a freedesktop icon name, so that a
// desktop icon theme that has that icon takes over.

// The names of the buttons that get an icon (sbtFiltrar, sbtConfirma, btfSaveOpc …).
QStringList ToolIconButtons();

// Our own icon for the button of that name, without the desktop theme; a null icon for a name
// without one. The toggle sbtMais has a second drawing for its pressed (On) state.
QIcon OwnToolIcon(const QString& buttonName);

// Gives every button of `form` named in ToolIconButtons() its icon (the theme's, else ours) at
// 16x16 and removes the button's letter. A button keeps its letter when no icon could be made
// (no SVG support installed and no theme icon). The hint (tooltip) stays and also names the
// button for accessibility.
void ApplyToolIcons(QWidget* form);
