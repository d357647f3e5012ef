#include "Appearance.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>

namespace {

#include "icons/MoraImport.xpm"

}  // namespace

QIcon ProgramIcon() { return QIcon(QPixmap(moraimport)); }

// The designed face is a Windows font; the IPA and Noto Gothic faces stand
// in for it so that Japanese never falls back to boxes.
QFont JapaneseGothic(qreal pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

void PaintNow()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && !window->isMinimized())
            window->repaint();
    }
    // Flushes the display connection; a click must not start a command
    // inside the one that is painting.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
