#pragma once

#include "reports/RoundsBoard.h"

#include <QColor>
#include <QRectF>
#include <vector>

class QPainter;

// Paints the timeline of one cycle with QPainter, the same on a window, a PDF page and a
// picture: time across, the reference and the route's stops down in their order; each touch a
// mark at its stop and time, consecutive touches joined; a stop not visited an empty red mark
// at its row; a leg out of time amber with its verdict written; an inversion a diamond;
// touches outside the route grey in a band of their own; a legend at the foot.
//
// Sizes are in millimetres (`mm` device pixels each), so a page and a screen read alike.
// Labels are placed where nothing else is: a delay that finds no free place is left to the
// list under the chart rather than written over something.
class RoundTimeline {
public:
    // Green, amber or red (light for a cell's background).
    static QColor statusColour(CycleStatus status, bool light = false);

    // The height the timeline takes at `width` pixels.
    static double heightFor(const TimelineModel &model, double width, double mm);
    static void paint(QPainter &p, const QRectF &rect, double mm, const TimelineModel &model);

    // Timelines one under the other from `from` on, as many as fit in `area` (at least one);
    // the index of the first one left over.
    static int paintStack(QPainter &p, const QRectF &area, double mm,
                          const std::vector<TimelineModel> &models, int from);

    // Where the delays went at `width` pixels: the boxes of those written in the chart, and
    // the notes under it for those that found no free place (and the duration's verdict).
    struct Placement {
        std::vector<QRectF> delays;
        QStringList notes;
    };
    static Placement placement(const TimelineModel &model, double width, double mm);

    // A picture of the timeline, written whole through OutputFile; false with the reason in
    // `error`.
    static bool writePng(const TimelineModel &model, const QString &path, QString *error = nullptr);
};
