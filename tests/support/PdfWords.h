#pragma once

// What a printed report shows and where: the words of a PDF with their boxes (pdftotext -bbox,
// in points from the top left of the page), and the text read column by column.
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>

struct PdfWord {
    int page = 0;  // from 1
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    QString text;
};

inline QString pdfText(const QString &path, const QStringList &options = {"-layout"})
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), options + QStringList{path, "-"});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QList<PdfWord> pdfWords(const QString &path)
{
    static const QRegularExpression tag(QStringLiteral(
        "<page |<word xMin=\"([-\\d.]+)\" yMin=\"([-\\d.]+)\" xMax=\"([-\\d.]+)\" "
        "yMax=\"([-\\d.]+)\">([^<]*)</word>"));
    QList<PdfWord> words;
    int page = 0;
    for (auto it = tag.globalMatch(pdfText(path, {"-bbox"})); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        QString text = m.captured(5);
        text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"")
            .replace("&apos;", "'").replace("&#39;", "'").replace("&amp;", "&");
        words.append({page, m.captured(1).toDouble(), m.captured(2).toDouble(),
                      m.captured(3).toDouble(), m.captured(4).toDouble(), text});
    }
    return words;
}

// The line of column headings on `page`: the y of its top and the left edge of each
// (left-aligned) heading, found by the first word of each heading; empty when the page has none.
struct PdfHeadings {
    double y = -1;
    QList<double> left;
};

inline PdfHeadings pdfHeadings(const QList<PdfWord> &words, const QStringList &headings, int page)
{
    for (const PdfWord &first : words) {
        if (first.page != page || first.text != headings.first().section(' ', 0, 0))
            continue;
        PdfHeadings found{first.y0, {}};
        for (const QString &heading : headings) {
            const QString word = heading.section(' ', 0, 0);
            // The nearest one to the right of the heading before: pdftotext does not always
            // list the words of a line from left to right.
            const PdfWord *at = nullptr;
            for (const PdfWord &w : words)
                if (w.page == page && qAbs(w.y0 - first.y0) < 1 && w.text == word &&
                    (found.left.isEmpty() || w.x0 > found.left.last()) && (!at || w.x0 < at->x0))
                    at = &w;
            if (!at)
                break;
            found.left << at->x0;
        }
        if (found.left.size() == headings.size())
            return found;
    }
    return {};
}

// Per column, its words page after page, line after line, joined by single blanks: the lines
// of a wrapped value follow one another in its column's text. A word belongs to the column
// its left edge is in.
inline QStringList pdfColumnTexts(QList<PdfWord> words, const QList<double> &left)
{
    std::stable_sort(words.begin(), words.end(), [](const PdfWord &a, const PdfWord &b) {
        if (a.page != b.page)
            return a.page < b.page;
        if (qAbs(a.y0 - b.y0) >= 1)
            return a.y0 < b.y0;
        return a.x0 < b.x0;
    });
    QStringList texts(left.size());
    for (const PdfWord &w : words)
        for (qsizetype c = left.size() - 1; c >= 0; --c)
            if (w.x0 >= left[c] - 1) {
                texts[c] += (texts[c].isEmpty() ? "" : " ") + w.text;
                break;
            }
    return texts;
}
