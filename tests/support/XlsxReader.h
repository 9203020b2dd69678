#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QXmlStreamReader>

// Reads the cells of the first sheet of an .xlsx back (through unzip), for tests that check a
// spreadsheet as a user would open it. Cells by "A1"-style reference; bold and size of each.
struct XlsxCell {
    QString text;
    int style = 0;
};

class XlsxReader {
public:
    explicit XlsxReader(const QString &path)
    {
        const QByteArray shared = unzip(path, "xl/sharedStrings.xml");
        QStringList strings;
        QXmlStreamReader s(shared);
        QString current;
        bool inSi = false;
        while (!s.atEnd()) {
            s.readNext();
            if (s.isStartElement() && s.name() == QLatin1String("si")) {
                inSi = true;
                current.clear();
            } else if (s.isStartElement() && s.name() == QLatin1String("t") && inSi) {
                current += s.readElementText();
            } else if (s.isEndElement() && s.name() == QLatin1String("si")) {
                strings << current;
                inSi = false;
            }
        }
        QXmlStreamReader x(unzip(path, "xl/worksheets/sheet1.xml"));
        QString ref;
        int style = 0;
        bool sharedType = false;
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == QLatin1String("c")) {
                ref = x.attributes().value("r").toString();
                style = x.attributes().value("s").toInt();
                sharedType = x.attributes().value("t") == QLatin1String("s");
            } else if (x.isStartElement() && x.name() == QLatin1String("v")) {
                const QString v = x.readElementText();
                m_cells[ref] = {sharedType ? strings.value(v.toInt()) : v, style};
            } else if (x.isStartElement() && x.name() == QLatin1String("col")) {
                m_widths[x.attributes().value("min").toInt()] = x.attributes().value("width").toDouble();
            }
        }
        m_styles = QString::fromUtf8(unzip(path, "xl/styles.xml"));
    }

    bool ok() const { return !m_cells.isEmpty(); }
    QString text(const QString &ref) const { return m_cells.value(ref).text; }
    bool has(const QString &ref) const { return m_cells.contains(ref); }
    // The cells among `expected` whose text is not the one given, each as "A1: 'found' not 'wanted'";
    // empty when all are as given. Compared against an empty list, a failure names every cell.
    QStringList differences(const QList<std::pair<QString, QString>> &expected) const
    {
        QStringList out;
        for (const auto &[ref, wanted] : expected)
            if (text(ref) != wanted)
                out << QStringLiteral("%1: '%2' not '%3'").arg(ref, text(ref), wanted);
        return out;
    }
    int style(const QString &ref) const { return m_cells.value(ref).style; }
    QMap<QString, XlsxCell> cells() const { return m_cells; }
    double width(int column) const { return m_widths.value(column); }
    QString styles() const { return m_styles; }

    static QByteArray unzip(const QString &path, const QString &member)
    {
        QProcess p;
        p.start(QStringLiteral("unzip"), {"-p", path, member});
        p.waitForFinished(30000);
        return p.readAllStandardOutput();
    }

private:
    QMap<QString, XlsxCell> m_cells;
    QMap<int, double> m_widths;
    QString m_styles;
};
