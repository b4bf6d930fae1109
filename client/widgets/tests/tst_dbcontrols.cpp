#include "TDBEdit.h"
#include "TDBMemo.h"

#include <QtTest>

class TestDBControls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }

    void followTheCurrentRecord()
    {
        DataPacket packet;
        packet.fields = {{QStringLiteral("VR"), FieldType::Float, 0, false},
                         {QStringLiteral("OBS"), FieldType::String, 2000, false}};
        packet.rows = {{1234.5, QStringLiteral("linha 1\r\nlinha 2")}, {0.0, QVariant()}};
        TClientDataSet cds;
        cds.AddField(packet.fields.at(0)).SetDisplayFormat("#,##0.00;1; ");
        cds.AddField(packet.fields.at(1));
        TDataSource dts;
        dts.SetDataSet(&cds);
        TDBEdit edit;
        edit.SetDataSource(&dts);
        edit.SetDataField("VR");
        TDBMemo memo;
        memo.SetDataSource(&dts);
        memo.SetDataField("OBS");
        QVERIFY(edit.isReadOnly() && memo.isReadOnly());
        QCOMPARE(edit.text(), QString());
        cds.SetData(packet);
        QCOMPARE(edit.text(), QStringLiteral("1.234,50"));
        QVERIFY(memo.toPlainText().startsWith(QStringLiteral("linha 1")));
        cds.Next();
        QCOMPARE(edit.text(), QStringLiteral(" "));
        QCOMPARE(memo.toPlainText(), QString());
        // While controls are disabled the controls keep what they show.
        cds.DisableControls();
        cds.First();
        QCOMPARE(edit.text(), QStringLiteral(" "));
        cds.EnableControls();
        QCOMPARE(edit.text(), QStringLiteral("1.234,50"));
        cds.Edit();
        cds.FieldByName("VR").SetAsFloat(2);
        QCOMPARE(edit.text(), QStringLiteral("2,00"));
        cds.Cancel();
        QCOMPARE(edit.text(), QStringLiteral("1.234,50"));
    }
};

QTEST_MAIN(TestDBControls)
#include "tst_dbcontrols.moc"
