#pragma once

class QLineEdit;

// Keeps the whole text of a read-only edit in view: whenever its text changes, the edit
// widens (never below the width it was laid out with) to fit the text and shows it from its
// first character; a dialog of fixed width widens with it when its layout needs the room,
// and both return to their own widths once the text fits again. For amounts, whose leading
// digits matter most.
void KeepWholeTextShown(QLineEdit& edit);
