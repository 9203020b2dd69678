#include "platform/MaskEdit.h"

#include "platform/DateTimeText.h"
#include "platform/SystemServices.h"

#include <QStringList>

MaskEdit::MaskEdit(QWidget *parent) : QLineEdit(parent) {}

MaskEdit::MaskEdit(const QString &delphiMask, QWidget *parent) : QLineEdit(parent)
{
    setDelphiMask(delphiMask);
}

void MaskEdit::setDelphiMask(const QString &mask)
{
    m_mask = mask;
    const QStringList parts = mask.split(u';');
    QString pattern = parts.value(0);
    if (pattern.startsWith(u'!'))
        pattern.remove(0, 1);
    m_saveLiterals = parts.value(1) != QStringLiteral("0");
    m_blank = parts.size() > 2 && !parts[2].isEmpty() ? parts[2][0] : QChar(u'_');

    // Every digit becomes Qt's optional digit, even a required one: only optional positions
    // accept a blank in setText(), which setMaskedText() needs for a half-filled value, and a
    // field with unfilled required positions would otherwise never emit editingFinished.
    // isComplete() keeps the distinction.
    static const QString qtMetaCharacters = QStringLiteral("AaNnXx90DdHhBb#<>![]{}\\;");
    m_positions.clear();
    QString qtMask;
    for (const QChar c : pattern) {
        if (c == u'0' || c == u'9') {
            m_positions.append({QChar(), c == u'0'});
            qtMask += u'0';
        } else {
            m_positions.append({c, false});
            if (qtMetaCharacters.contains(c))
                qtMask += u'\\';
            qtMask += c;
        }
    }
    setInputMask(m_positions.isEmpty() ? QString() : qtMask + u';' + m_blank);
    // What was typed under another mask means nothing under this one.
    clear();
}

QString MaskEdit::positionsText() const
{
    const QString shown = displayText();
    QString out;
    out.reserve(m_positions.size());
    for (qsizetype i = 0; i < m_positions.size(); ++i) {
        const Position &p = m_positions[i];
        if (!p.literal.isNull()) {
            out += p.literal;
        } else {
            const QChar c = i < shown.size() ? shown[i] : QChar();
            out += c.isDigit() ? c : QChar(u' ');
        }
    }
    return out;
}

QString MaskEdit::maskedText() const
{
    if (m_positions.isEmpty())
        return text();
    const QString all = positionsText();
    if (m_saveLiterals)
        return all;
    QString editable;
    for (qsizetype i = 0; i < m_positions.size(); ++i)
        if (m_positions[i].literal.isNull())
            editable += all[i];
    return editable;
}

void MaskEdit::setMaskedText(const QString &text)
{
    if (m_positions.isEmpty()) {
        setText(text);
        return;
    }
    // Without saved literals the text holds only the editable positions, in order.
    QString filled;
    qsizetype source = 0;
    for (qsizetype i = 0; i < m_positions.size(); ++i) {
        const Position &p = m_positions[i];
        if (m_saveLiterals)
            source = i;
        if (!p.literal.isNull()) {
            filled += p.literal;
            continue;
        }
        const QChar c = source < text.size() ? text[source] : QChar();
        ++source;
        filled += c.isDigit() ? c : m_blank;
    }
    setText(filled);
    // setText leaves the cursor after the last position, where nothing can be typed.
    if (isBlank())
        setCursorPosition(0);
}

void MaskEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    // An empty field is typed from its first position, wherever the click landed.
    if (!m_positions.isEmpty() && isBlank())
        setCursorPosition(0);
}

bool MaskEdit::isBlank() const
{
    const QString all = positionsText();
    for (qsizetype i = 0; i < m_positions.size(); ++i)
        if (m_positions[i].literal.isNull() && all[i].isDigit())
            return false;
    return true;
}

bool MaskEdit::isComplete() const
{
    const QString all = positionsText();
    for (qsizetype i = 0; i < m_positions.size(); ++i)
        if (m_positions[i].required && !all[i].isDigit())
            return false;
    return true;
}

std::optional<QDate> MaskEdit::date() const
{
    return DateTimeText::wholeDate(positionsText().left(10));
}

std::optional<QDateTime> MaskEdit::dateTime() const
{
    return DateTimeText::wholeDateTime(positionsText());
}

void MaskEdit::setDate(const QDate &date)
{
    setMaskedText(date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString());
}

void MaskEdit::setDateTime(const QDateTime &dateTime)
{
    setMaskedText(dateTime.isValid() ? dateTime.toString(QStringLiteral("dd/MM/yyyy hh:mm"))
                                     : QString());
}

void MaskEdit::setToday(MaskEdit *from, MaskEdit *to)
{
    const QDate today = SystemServices::now().date();
    from->setDateTime(QDateTime(today, QTime(0, 0)));
    to->setDateTime(QDateTime(today, QTime(23, 59)));
}
