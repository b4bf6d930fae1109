#pragma once

class QLineEdit;

// What a user expects of a field with an input mask: a click into the empty field puts the
// cursor at its first position (Qt puts it where the click fell, so digits typed there land
// past blank places, or nowhere); a field that gets the focus by keyboard or from the program
// (Tab, a refusal sending the user back) has its whole text selected, so typing replaces it.
// The behaviour lives as long as the field.
void KeepMaskedEntryAtStart(QLineEdit& edit);
