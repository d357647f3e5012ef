#pragma once

#include <QFont>
#include <QIcon>

// The program's icon, on its window and on every message box.
QIcon ProgramIcon();

// The Japanese Gothic face of the window and its message boxes. One face
// draws Latin letters and digits too, so numbers in a text match the words.
QFont JapaneseGothic(qreal pointSize, bool bold);

// Paints every open window now and hands the pictures to the display,
// before work that lets no events through; user input waits for the
// event loop.
void PaintNow();
