#include "TDataSource.h"

#include <QtTest>

class TestDataSource : public QObject
{
    Q_OBJECT

private slots:
    void stateChanges()
    {
        DataPacket packet;
        packet.fields = {{QStringLiteral("A"), FieldType::String, 5, false}};
        packet.rows = {{QStringLiteral("x")}, {QStringLiteral("y")}};
        TClientDataSet cds;
        TDataSource dts;
        QList<TDataSetState> states;
        dts.OnStateChange = [&](TDataSource& sender) { states << sender.State(); };
        QCOMPARE(dts.State(), TDataSetState::Inactive);
        dts.SetDataSet(&cds);
        cds.SetData(packet);
        cds.Edit();
        cds.Post();
        cds.Edit();
        cds.Cancel();
        cds.DisableControls(); // state changes are not view updates: still reported
        cds.Edit();
        cds.EnableControls();
        cds.Close();
        QCOMPARE(states, QList<TDataSetState>({TDataSetState::Browse, TDataSetState::Edit,
                                               TDataSetState::Browse, TDataSetState::Edit,
                                               TDataSetState::Browse, TDataSetState::Edit,
                                               TDataSetState::Browse, TDataSetState::Inactive}));
        // Detached from the record set, nothing more arrives.
        dts.SetDataSet(nullptr);
        cds.SetData(packet);
        QCOMPARE(states.size(), 8);
        QCOMPARE(dts.State(), TDataSetState::Inactive);
    }
};

QTEST_MAIN(TestDataSource)
#include "tst_datasource.moc"
