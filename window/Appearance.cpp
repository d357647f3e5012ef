#include "Appearance.h"

#include <QPixmap>

namespace {

#include "icons/MoraImport.xpm"

}  // namespace

QIcon ProgramIcon()
{
    return QIcon(QPixmap(moraimport));
}

// The designed face is a Windows font; the IPA and Noto Gothic faces stand
// in for it so that Japanese never falls back to boxes.
QFont JapaneseGothic(qreal pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}
