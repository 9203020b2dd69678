#pragma once

#include <QDate>
#include <QDateTime>
#include <QLineEdit>
#include <QList>
#include <optional>

// A line edit with the masks of the system's date, date-time and hour fields, written the way
// the system writes them: "99/99/9999 99:99;1;_" is a mask, a flag to keep the literals in the
// text, and the blank shown in unfilled positions. In the mask '0' is a required digit, '9' an
// optional one and anything else a literal; a leading '!' is accepted and has no effect here.
//
// The system reads such a field with its blanks and literals in place ("  /  /    " when
// empty), which QLineEdit::text() cannot give since it drops blanks: maskedText() does.
class MaskEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit MaskEdit(QWidget *parent = nullptr);
    explicit MaskEdit(const QString &delphiMask, QWidget *parent = nullptr);

    // Clears the field.
    void setDelphiMask(const QString &mask);
    QString delphiMask() const { return m_mask; }

    // Every unfilled position as a space; literals kept unless the mask's second part is "0".
    QString maskedText() const;
    // Takes the same form back, position by position; a character that is not a digit where a
    // digit goes leaves that position blank.
    void setMaskedText(const QString &text);

    bool isBlank() const;     // no digit typed
    bool isComplete() const;  // every required position filled

    // The field read as dd/MM/yyyy[ hh:mm]; nullopt when incomplete or not a real date.
    // A date-only field gives its date at midnight as dateTime().
    std::optional<QDate> date() const;
    std::optional<QDateTime> dateTime() const;
    // Fill the positions by dd/MM/yyyy[ hh:mm]; an invalid value blanks the field.
    void setDate(const QDate &date);
    void setDateTime(const QDateTime &dateTime);
    // A period of two date-time fields set to today, from its first minute to its last.
    static void setToday(MaskEdit *from, MaskEdit *to);

protected:
    void focusInEvent(QFocusEvent *event) override;

private:
    struct Position {
        QChar literal;  // null for a digit position
        bool required = false;
    };

    // All positions, literals always kept, blanks as spaces.
    QString positionsText() const;

    QString m_mask;
    QList<Position> m_positions;
    bool m_saveLiterals = true;
    QChar m_blank = u'_';
};
