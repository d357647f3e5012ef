#include "QtDesktop.h"

#include "Appearance.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyle>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace {

// The part of a box's flags that chooses its buttons.
constexpr int kButtonsMask = 0xF;

}  // namespace

QtDesktop::QtDesktop(std::chrono::milliseconds eventInterval) : m_eventInterval(eventInterval) { }

QtDesktop::~QtDesktop() { SetMousePointer(POINTER_DEFAULT); }

int QtDesktop::MsgBox(const QString& prompt, int flags, const QString& title)
{
    return MsgBoxWithDetails(prompt, flags, title, QString());
}

int QtDesktop::MsgBoxWithDetails(const QString& prompt, int flags, const QString& title, const QString& details)
{
    return ShowBox(prompt, flags, title, QString(), details);
}

int QtDesktop::MsgBoxWithInformation(const QString& prompt, int flags, const QString& title, const QString& informative,
                                     const QString& details)
{
    return ShowBox(prompt, flags, title, informative, details);
}

int QtDesktop::Ask(const Question& question)
{
    return ShowBox(question.strPrompt, question.intIcon, question.strTitle, question.strInformative, QString(),
                   &question);
}

void QtDesktop::LineReport(const QString& prompt, const LineReportPlace& place)
{
    ShowBox(prompt, MB_OK, QString(), PlaceText(place), QString(), nullptr, BoxKind::LineReport);
}

std::optional<QString> QtDesktop::AskPassword(const QString& prompt, const QString& title)
{
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(title.isEmpty() ? QCoreApplication::applicationName() : title);
    dialog.setWindowIcon(ProgramIcon());
    dialog.setFont(JapaneseGothic(9, false));
    auto* text = new QLabel(&dialog);
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setText(QString(prompt).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    auto* label = new QLabel(QStringLiteral("パスワード(&P):"), &dialog);
    auto* field = new QLineEdit(&dialog);
    field->setObjectName(QStringLiteral("txtPassword"));
    field->setEchoMode(QLineEdit::Password);
    label->setBuddy(field);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(label);
    layout->addWidget(field);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(460);
    dialog.setWindowModality(Qt::ApplicationModal);
    field->setFocus();
    if (RunModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    const QString password = field->text();
    field->clear();
    return password;
}

int QtDesktop::RunModal(QDialog& dialog)
{
    const bool busy = m_overrideSet;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = dialog.exec();
    if (busy)
        QGuiApplication::restoreOverrideCursor();
    PaintNow();
    return result;
}

QString QtDesktop::PlaceText(const LineReportPlace& place)
{
    const QString line = place.strPlace.isEmpty()
                             ? QStringLiteral("%1 行目").arg(place.lngLineNumber)
                             : QStringLiteral("%1 %2 行目").arg(place.strPlace).arg(place.lngLineNumber);
    if (place.strColumn.isEmpty())
        return line;
    return QStringLiteral("%1　%2「%3」").arg(line, place.strColumn, place.strValue);
}

int QtDesktop::ShowBox(const QString& prompt, int flags, const QString& title, const QString& givenInformative,
                       const QString& givenDetails, const Question* question, BoxKind kind)
{
    // A server's own words are for whoever looks further; the prompt says what to do.
    const auto [shown, serverWords] = SplitServerWords(prompt);
    QString details = givenDetails;
    if (!serverWords.isEmpty())
        details = details.isEmpty() ? serverWords : serverWords + QStringLiteral("\n\n") + details;
    QString informative = givenInformative;
    if (!m_strLedgerNote.isEmpty() && kind != BoxKind::LineReport)
        informative = informative.isEmpty() ? m_strLedgerNote : informative + QLatin1Char('\n') + m_strLedgerNote;

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? QCoreApplication::applicationName() : title);
    // Without a parent window (a drop from another program) the box would
    // carry the platform's generic icon.
    box.setWindowIcon(ProgramIcon());
    box.setFont(JapaneseGothic(9, false));
    // Paths and error texts come from outside; never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString(shown).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (flags & MB_ICONINFORMATION)
        box.setIcon(QMessageBox::Information);
    else if (flags & MB_ICONQUESTION)
        box.setIcon(QMessageBox::Question);
    else
        box.setIcon(QMessageBox::NoIcon);
    const int buttons = flags & kButtonsMask;
    const bool yesNo = !question && (buttons == MB_YESNO || buttons == MB_YESNOCANCEL);
    std::vector<QPushButton*> choices;
    if (question) {
        // Each button reached from the keyboard by its number, after the choice's own words.
        for (const Choice& choice : question->choices)
            choices.push_back(box.addButton(QStringLiteral("%1(&%2)").arg(choice.strText).arg(choices.size() + 1),
                                            QMessageBox::ActionRole));
        box.setDefaultButton(choices.at(std::size_t(question->intDefault)));
        box.setEscapeButton(choices.at(std::size_t(question->intEscape)));
    } else if (yesNo) {
        QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
        box.setDefaultButton((flags & MB_DEFBUTTON2) ? no : yes);
        // Escape, or the title bar's close, is the answer that does the least.
        box.setEscapeButton(
            buttons == MB_YESNOCANCEL ? box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole) : no);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    if (!informative.isEmpty())
        box.setInformativeText(informative);
    if (!details.isEmpty()) {
        box.setDetailedText(details);
        if (auto* area = box.findChild<QTextEdit*>()) {
            // One refused line to a row, never wrapped; a longer one scrolls.
            area->setLineWrapMode(QTextEdit::NoWrap);
            const QFontMetrics metrics(area->font());
            const int frame = 2 * (area->frameWidth() + int(area->document()->documentMargin()));
            const int scrollBar = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area);
            const QString columns = QString(kDetailsColumns / 2, QChar(u'あ')) + QString(kDetailsColumns / 2, u'0');
            area->setMinimumWidth(metrics.horizontalAdvance(columns) + frame + scrollBar);
            area->setFixedHeight(kDetailsLines * metrics.lineSpacing() + frame + scrollBar);
        }
    }
    // The box takes its width from what it holds; a short prompt would leave
    // its title cut short.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        QFont titleFont = box.font();
        titleFont.setBold(true);
        const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    box.setWindowModality(Qt::ApplicationModal);
    if (flags & MB_SYSTEMMODAL)
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // The question is the user's turn: the ordinary pointer over it. What
    // the box covered is painted again before the work after it, which may
    // let no events through for a while.
    RunModal(box);
    QAbstractButton* clicked = box.clickedButton();
    if (question) {
        const auto found = std::find(choices.begin(), choices.end(), clicked);
        return found == choices.end() ? question->intEscape : int(found - choices.begin());
    }
    if (!yesNo)
        return IDOK;
    switch (clicked ? box.buttonRole(clicked) : QMessageBox::InvalidRole) {
    case QMessageBox::YesRole: return IDYES;
    case QMessageBox::NoRole: return IDNO;
    default: return buttons == MB_YESNOCANCEL ? IDCANCEL : IDNO;
    }
}

void QtDesktop::SetMousePointer(int pointer)
{
    if (pointer == POINTER_DEFAULT) {
        if (m_overrideSet)
            QGuiApplication::restoreOverrideCursor();
        m_overrideSet = false;
        return;
    }
    const QCursor cursor(pointer == POINTER_HOURGLASS ? Qt::WaitCursor : Qt::ArrowCursor);
    // Setting the busy pointer again must not stack a second override that
    // one restore would leave behind.
    if (m_overrideSet) {
        QGuiApplication::changeOverrideCursor(cursor);
    } else {
        QGuiApplication::setOverrideCursor(cursor);
        m_overrideSet = true;
    }
}

void QtDesktop::DoEvents()
{
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < m_eventInterval.count())
        return;
    QCoreApplication::processEvents();
    m_sinceEvents.start();
}
