// The filter dialog against the real application server (in this process, on a real SQLite demo
// database), with every call recorded as it came off the wire: the criteria controls, the date
// validation, the arguments of GetInvoice and GetItem, the saved filter and the failure paths.
// This file holds the set-up and the helpers that every topic shares (the demo database and the
// recording server are made once for all of them); the tests themselves are in tst_filter/, by
// topic.

#include "FilterTest.h"

#include "BusyAnimation.h"
#include "Cli_FAS10000.h"
#include "DemoData.h"
#include "DemoDay.h"
#include "Schema.h"

void TestFilter::initTestCase()
{
    QVERIFY(dir.isValid());
    const QString dbFile = dir.filePath(QStringLiteral("demo.db"));
    {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("server"));
        db.setDatabaseName(dbFile);
        QVERIFY(db.open());
        Schema::create(db);
        DemoData(300, demoDay()).fill(db);
    }
    qputenv("FAS_DB_DRIVER", "QSQLITE");
    qputenv("FAS_DB_NAME", dbFile.toLocal8Bit());
    qputenv("FAS_OPTIONS_FILE", dir.filePath(QStringLiteral("options.ini")).toLocal8Bit());

    server = std::make_unique<RecordingServer>(db);
    const quint16 port = server->listen(QHostAddress::LocalHost, 0);
    QVERIFY(port != 0);
    qputenv("FAS_WEB_URL", "127.0.0.1");
    qputenv("FAS_WEB_PORT", QByteArray::number(port));
}

void TestFilter::init()
{
    messages = std::make_unique<ScopedScriptedMessages>();
    server->calls.clear();
    server->failing.clear();
    server->writeBack.clear();
    Cli_FAS10001::stCliente.clear();

    screen = new TfrmBCRInvoice;
    Cli_FAS10000::frmBCRInvoice = screen;
    Cli_FAS10000::boIdCriado = true;
    screen->findChild<QLineEdit*>("medCdEmpresa")->setText(QStringLiteral("01"));
    // A company was loaded before: closing the dialog does not confirm.
    screen->CdEmpresaAnterior = QStringLiteral("01");

    Cli_FAS10001::frmFiltroBCRInvoice = new TfrmFiltroBCRInvoice;
    Cli_FAS10001::boIdCriado = true;
}

void TestFilter::cleanup()
{
    delete Cli_FAS10001::frmFiltroBCRInvoice;
    Cli_FAS10001::boIdCriado = false;
    delete screen;
    screen = nullptr;
    Cli_FAS10000::boIdCriado = false;
    messages.reset();
    QCOMPARE(BusyAnimationDepth(), 0);
}

void TestFilter::cleanupTestCase()
{
    server.reset();
    db.close();
}

void TestFilter::showDialog()
{
    dialog().show();
    dialog().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog()));
}

void TestFilter::loadCompany(const QString& company)
{
    screen->findChild<QLineEdit*>("medCdEmpresa")->setText(company);
    showDialog();
    confirm();
    QVERIFY2(msgs().messages.isEmpty(), qPrintable(msgs().texts().join('\n')));
    QVERIFY(!dialog().isVisible());
    QVERIFY(screen->cdsInvoice->Active());
    server->calls.clear();
}

QString TestFilter::param(const RecordingServer::Call& call, int index)
{
    return call.params.at(index).toObject().value(QStringLiteral("value")).toString();
}

QStringList TestFilter::paramValues(const RecordingServer::Call& call)
{
    QStringList values;
    for (int i = 0; i < call.params.size(); ++i)
        values << param(call, i);
    return values;
}

void TestFilter::clickIndicator(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

QStringList TestFilter::criteria(TfrmFiltroBCRInvoice& f)
{
    QStringList state{f.rbtTCliente->isChecked() ? "Todos" : "Lista", Cli_FAS10001::stCliente};
    for (QAbstractButton* box : {f.chbAberto, f.chbPago, f.chbNEmitida, f.chbEmitida})
        state << QString::number(box->isChecked()) + QString::number(box->isEnabled());
    state << QString::number(f.btpCliente->isEnabled());
    for (TDateEditPlus* edit : dateEdits(f))
        state << edit->text() + u' ' + edit->Color().name();
    return state;
}

void TestFilter::typeInto(TDateEditPlus* edit, const QString& digits)
{
    edit->setFocus(Qt::TabFocusReason);
    edit->setCursorPosition(0);
    QTest::keyClicks(edit, digits);
}

QList<TDateEditPlus*> TestFilter::dateEdits(TfrmFiltroBCRInvoice& f)
{
    return {f.depEmissIni, f.depEmissFin, f.depVencIni, f.depVencFin,
            f.depRecebIni, f.depRecebFin, f.depCambIni, f.depCambFin};
}

QTEST_MAIN(TestFilter)
