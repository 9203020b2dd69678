#include "reports/RoundTimeline.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

// The timeline's layout: delay labels never cover one another or a mark, and a delay that
// finds no free place is still told, under the chart.
class TestRoundTimeline : public QObject {
    Q_OBJECT

    // A route of `stops` stops and a touch every `apart` seconds from 08:00, each late.
    static TimelineModel crowded(int stops, int touches, int apart)
    {
        TimelineModel m;
        m.title = "RONDA - coletor C - ciclo 1";
        m.rows << "INICIO";
        for (int i = 1; i <= stops; ++i)
            m.rows << QString("LOCAL %1").arg(i);
        const QDateTime start(QDate(2026, 12, 8), QTime(8, 0));
        m.from = start;
        m.marks.push_back({TimelineModel::Mark::Shape::Touch, 0, start, {}});
        for (int i = 0; i < touches; ++i)
            m.marks.push_back({TimelineModel::Mark::Shape::Touch, 1 + i % stops, start.addSecs((i + 1) * apart),
                               "Atrasado 12,50"});
        m.to = m.marks.back().at;
        return m;
    }

private Q_SLOTS:
    void delaysNeverOverlapAndNoneIsLost()
    {
        constexpr double mm = 4;
        const std::initializer_list<std::tuple<int, int, int>> cases{{3, 30, 5}, {20, 20, 180}, {1, 6, 1}};
        for (const auto &[stops, touches, apart] : cases) {
            const TimelineModel m = crowded(stops, touches, apart);
            const RoundTimeline::Placement placed = RoundTimeline::placement(m, 800, mm);
            for (size_t i = 0; i < placed.delays.size(); ++i)
                for (size_t j = i + 1; j < placed.delays.size(); ++j)
                    QVERIFY2(!placed.delays[i].intersects(placed.delays[j]), qPrintable(QString::number(stops)));
            QCOMPARE(int(placed.delays.size() + placed.notes.size()), touches);
            // The notes take room: the timeline grows with them.
            if (!placed.notes.isEmpty())
                QVERIFY(RoundTimeline::heightFor(m, 800, mm) >
                        RoundTimeline::heightFor(crowded(stops, 0, apart), 800, mm));
        }
        // Six delays within seconds at one stop cannot all be written beside their touches.
        QVERIFY(!RoundTimeline::placement(crowded(1, 6, 1), 800, 4).notes.isEmpty());
        // With room, every delay is written beside its touch.
        QVERIFY(RoundTimeline::placement(crowded(20, 20, 180), 800, 4).notes.isEmpty());
    }

    void paintsInTheRoomItAsksFor()
    {
        const TimelineModel m = crowded(5, 8, 60);
        const double height = RoundTimeline::heightFor(m, 600, 3);
        QImage image(600, int(height) + 1, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        RoundTimeline::paint(p, QRectF(0, 0, 600, height), 3, m);
        p.end();
        // Something is drawn in the last tenth (the legend), nothing is lost below it.
        bool inked = false;
        for (int y = int(height * 0.9); y < image.height() && !inked; ++y)
            for (int x = 0; x < image.width() && !inked; ++x)
                inked = image.pixel(x, y) != qRgb(255, 255, 255);
        QVERIFY(inked);
    }
};

QTEST_MAIN(TestRoundTimeline)
#include "tst_roundtimeline.moc"
