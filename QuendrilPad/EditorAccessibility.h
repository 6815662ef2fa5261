#pragma once

// Gives every QuendrilTextView a plain widget accessibility interface. Scintilla's own
// interface counts characters from the start of the text on every paint and change, which
// makes typing in a large sheet slow even with no screen reader. Safe to call more than once.
void installEditorAccessibility();
