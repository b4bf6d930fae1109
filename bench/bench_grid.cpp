// The data-aware grid over 100,000 invoice rows: cost of the model's data() and of
// scrolling through the whole list with repaints.
#include "TDBGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    const int rows = 100000;
    DataPacket packet;
    packet.fields = {{QStringLiteral("IDCHECK"), FieldType::String, 1, true},
                     {QStringLiteral("NRINVOICE"), FieldType::String, 10, false},
                     {QStringLiteral("NMFANTCLIE"), FieldType::String, 50, false},
                     {QStringLiteral("DTVENINVOICE"), FieldType::DateTime, 0, false},
                     {QStringLiteral("TOTALINVOICE"), FieldType::Float, 0, false}};
    for (int i = 0; i < rows; ++i)
        packet.rows.append(
            {QStringLiteral("N"), QString::number(i + 1), QStringLiteral("CLIENTE %1").arg(i % 500),
             QDateTime(QDate(2025, 1, 1).addDays(i % 365), QTime(0, 0)), 1000.0 + i * 0.37});
    TClientDataSet cds;
    cds.SetData(packet);
    cds.FieldByName("TOTALINVOICE").SetDisplayFormat("#,##0.00");
    TDataSource dts;
    dts.SetDataSet(&cds);
    TDBGrid grid;
    grid.SetDataSource(&dts);
    for (const char* name : {"IDCHECK", "NRINVOICE", "NMFANTCLIE", "DTVENINVOICE", "TOTALINVOICE"})
        grid.AddColumn(QString::fromLatin1(name), {}, 90);
    grid.resize(800, 600);
    grid.show();

    const DataSetTableModel& model = grid.GridModel();
    QElapsedTimer timer;
    timer.start();
    qint64 chars = 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < model.columnCount(); ++c)
            chars += model.data(model.index(r, c)).toString().size();
    const double perCell = timer.nsecsElapsed() / double(rows * model.columnCount());
    std::printf("data() over %d rows x %d columns: %.0f ns per cell (%lld chars)\n", rows,
                model.columnCount(), perCell, chars);

    QScrollBar* bar = grid.verticalScrollBar();
    const int page = bar->pageStep();
    timer.restart();
    int repaints = 0;
    for (int v = bar->minimum(); v <= bar->maximum(); v += page) {
        bar->setValue(v);
        grid.viewport()->repaint();
        ++repaints;
    }
    const double scroll = timer.nsecsElapsed() / 1e6;
    std::printf("scroll through %d rows page by page: %.1f ms for %d pages (%.2f ms per page)\n",
                rows, scroll, repaints, scroll / repaints);

    timer.restart();
    cds.First();
    for (int i = 0; i < 10000; ++i)
        cds.Next();
    std::printf("10,000 cursor moves with the grid following: %.1f ms\n",
                timer.nsecsElapsed() / 1e6);
    return 0;
}
