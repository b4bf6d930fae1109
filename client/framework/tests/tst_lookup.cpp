#include "LookupListDialog.h"
#include "MessageService.h"
#include "PesquisaLista.h"
#include "Procura.h"
#include "TBtnPesquisa.h"
#include "TDataSource.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {
// Runs `fn` on the dialog of type T once it is the active modal widget.
template <typename T> void whenModal(std::function<void(T*)> fn)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, fn] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            fn(dialog);
        }
    });
    timer->start(10);
}

void fillCustomers(TClientDataSet& cds)
{
    cds.AddField({"CDCLIENTE", FieldType::String, 21}).SetVisible(false);
    cds.AddField({"NMFANTCLIE", FieldType::String, 50}).SetDisplayLabel("Nome Fantasia");
    cds.AddField({"NMRAZSOCCLIE", FieldType::String, 50}).SetDisplayLabel("Razão Social");
    DataPacket packet;
    packet.fields = cds.FieldDefs();
    packet.rows = {{"C1", "Acme", "Acme Ltd"},
                   {"C2", "Borealis", "Boreal Grãos Inc"},
                   {"A, B", "Comma Co", "Comma \"Quoted\" Co"},
                   {"C4", "Sul Export", "Sul Export SA"}};
    cds.SetData(packet);
}

int rowOf(QTableWidget* table, const QString& text)
{
    for (int r = 0; r < table->rowCount(); ++r) {
        if (table->item(r, 0)->text() == text)
            return r;
    }
    return -1;
}

QStringList visibleRows(QTableWidget* table)
{
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        if (!table->isRowHidden(r))
            rows.append(table->item(r, 0)->text());
    }
    return rows;
}
} // namespace

class TestLookup : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pesquisaLista_data();
    void pesquisaLista();
    void pesquisaListaSearchBox();
    void pesquisaListaWithoutRows();
    void btnPesquisaPicksARow();
    void btnPesquisaSearchThenEnter();
    void btnPesquisaRefusedOrEmptyOrCancelled();
    void findRecord_data();
    void findRecord();
    void procuraDialog();

private:
    std::unique_ptr<ScopedScriptedMessages> messages;
    std::unique_ptr<TClientDataSet> cds;
    std::unique_ptr<TDataSource> dts;
};

void TestLookup::init()
{
    messages = std::make_unique<ScopedScriptedMessages>();
    cds = std::make_unique<TClientDataSet>();
    fillCustomers(*cds);
    dts = std::make_unique<TDataSource>();
    dts->SetDataSet(cds.get());
}

void TestLookup::cleanup()
{
    dts.reset();
    cds.reset();
    messages.reset();
}

void TestLookup::pesquisaLista_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QStringList>("toggle");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QStringList>("shownChecked");
    QTest::addColumn<QString>("after");

    QTest::newRow("choose two") << "" << QStringList{"Acme", "Sul Export"} << true << QStringList()
                                << "C1,C4";
    QTest::newRow("given list shown, one added")
        << "C2" << QStringList{"Comma Co"} << true << QStringList{"Borealis"} << "C2,\"A, B\"";
    QTest::newRow("given list shown, unchecked")
        << "\"A, B\",C2" << QStringList{"Borealis"} << true << QStringList{"Borealis", "Comma Co"}
        << "\"A, B\"";
    QTest::newRow("cancel keeps the list")
        << "C2" << QStringList{"Acme"} << false << QStringList{"Borealis"} << "C2";
    QTest::newRow("none chosen") << "C1" << QStringList{"Acme"} << true << QStringList{"Acme"}
                                 << "";
}

void TestLookup::pesquisaLista()
{
    QFETCH(QString, before);
    QFETCH(QStringList, toggle);
    QFETCH(bool, confirm);
    QFETCH(QStringList, shownChecked);
    QFETCH(QString, after);

    QString title;
    QStringList checkedOnOpen;
    QStringList headers;
    whenModal<LookupListDialog>([&](LookupListDialog* dialog) {
        title = dialog->windowTitle();
        QTableWidget* table = dialog->table();
        for (int c = 0; c < table->columnCount(); ++c)
            headers.append(table->horizontalHeaderItem(c)->text());
        for (int r = 0; r < table->rowCount(); ++r) {
            if (table->item(r, 0)->checkState() == Qt::Checked)
                checkedOnOpen.append(table->item(r, 0)->text());
        }
        for (const QString& name : toggle) {
            QTableWidgetItem* item = table->item(rowOf(table, name), 0);
            item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        }
        dialog->findChild<QPushButton*>(confirm ? "btnOk" : "btnCancelar")->click();
    });
    QString stCliente = before;
    const bool confirmed = PesquisaLista(dts.get(), "CDCLIENTE",
                                         "Cliente|Não há Cliente cadastrado.", false, stCliente);
    QCOMPARE(confirmed, confirm);
    QCOMPARE(title, QString("Cliente"));
    QCOMPARE(headers, (QStringList{"Nome Fantasia", "Razão Social"}));
    QCOMPARE(checkedOnOpen, shownChecked);
    QCOMPARE(stCliente, after);
    QVERIFY((**messages).messages.isEmpty());
}

void TestLookup::pesquisaListaSearchBox()
{
    QStringList shown;
    whenModal<LookupListDialog>([&](LookupListDialog* dialog) {
        QTest::keyClicks(dialog->searchBox(), "SUL");
        shown = visibleRows(dialog->table());
        dialog->table()->item(rowOf(dialog->table(), "Sul Export"), 0)->setCheckState(Qt::Checked);
        dialog->searchBox()->clear();
        QTest::keyClicks(dialog->searchBox(), "co");
        dialog->table()->item(rowOf(dialog->table(), "Comma Co"), 0)->setCheckState(Qt::Checked);
        dialog->findChild<QPushButton*>("btnOk")->click();
    });
    QString list;
    QVERIFY(PesquisaLista(dts.get(), "CDCLIENTE", "Cliente|vazio", false, list));
    QCOMPARE(shown, QStringList{"Sul Export"});
    QCOMPARE(list, QString("\"A, B\",C4")); // rows hidden by the search keep their marks
}

void TestLookup::pesquisaListaWithoutRows()
{
    cds->Close();
    cds->Open();
    QString list = "C1";
    QVERIFY(
        !PesquisaLista(dts.get(), "CDCLIENTE", "Cliente|Não há Cliente cadastrado.", false, list));
    QCOMPARE(list, QString("C1"));
    QCOMPARE((**messages).texts(), QStringList{"Não há Cliente cadastrado."});
}

void TestLookup::btnPesquisaPicksARow()
{
    QWidget form;
    auto* edit = new QLineEdit(&form);
    auto* other = new QLineEdit(&form);
    auto* btp = new TBtnPesquisa(&form);
    btp->Title = "Empresa";
    btp->EmptyError = "Não há Empresa cadastrada.";
    btp->SetAssociate(edit);
    btp->SetDataSource(dts.get());
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    other->setFocus();

    QStringList events;
    btp->OnBeforePesq = [&](bool&) { events.append("before"); };
    btp->OnAfterPesq = [&] {
        events.append("after:" + cds->FieldByName("CDCLIENTE").AsString());
        edit->setText(cds->FieldByName("CDCLIENTE").AsString());
    };
    QString title;
    whenModal<LookupListDialog>([&](LookupListDialog* dialog) {
        events.append("list");
        title = dialog->windowTitle();
        QTableWidget* table = dialog->table();
        const QPoint cell =
            table->visualItemRect(table->item(rowOf(table, "Borealis"), 0)).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell);
        if (dialog->isVisible())
            dialog->reject(); // the double click did not pick: fail instead of hanging
    });
    QTest::mouseClick(btp, Qt::LeftButton);
    QCOMPARE(events, (QStringList{"before", "list", "after:C2"}));
    QCOMPARE(title, QString("Empresa"));
    QCOMPARE(cds->RecNo(), 2);
    QCOMPARE(edit->text(), QString("C2"));
    QApplication::setActiveWindow(&form); // the offscreen platform does not give it back
    QTRY_COMPARE(QApplication::focusWidget(), edit);
}

void TestLookup::btnPesquisaSearchThenEnter()
{
    TBtnPesquisa btp;
    btp.SetDataSource(dts.get());
    whenModal<LookupListDialog>([&](LookupListDialog* dialog) {
        QTest::keyClicks(dialog->searchBox(), "graos"); // inside a name, without accents
        QTest::keyClick(dialog->searchBox(), Qt::Key_Return);
    });
    QVERIFY(btp.Pesquisa());
    QCOMPARE(cds->FieldByName("CDCLIENTE").AsString(), QString("C2"));
}

void TestLookup::btnPesquisaRefusedOrEmptyOrCancelled()
{
    TBtnPesquisa btp;
    btp.EmptyError = "Não há Empresa cadastrada.";
    btp.SetDataSource(dts.get());
    int after = 0;
    btp.OnAfterPesq = [&] { ++after; };

    btp.OnBeforePesq = [](bool& proceed) { proceed = false; };
    QVERIFY(!btp.Pesquisa()); // no list opens: a modal list would block this test

    btp.OnBeforePesq = {};
    cds->SetRecNo(3);
    whenModal<LookupListDialog>([](LookupListDialog* dialog) { dialog->reject(); });
    QVERIFY(!btp.Pesquisa());
    QCOMPARE(cds->RecNo(), 3);

    btp.OnBeforePesq = [&](bool&) {
        cds->Close();
        cds->Open();
    };
    QVERIFY(!btp.Pesquisa());
    QCOMPARE((**messages).texts(), QStringList{"Não há Empresa cadastrada."});
    QCOMPARE(after, 0);
}

void TestLookup::findRecord_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::newRow("start of a name") << "NMFANTCLIE"
                                     << "bor" << 1;
    QTest::newRow("start wins over inside") << "NMRAZSOCCLIE"
                                            << "Co" << 2;
    QTest::newRow("inside") << "NMRAZSOCCLIE"
                            << "export" << 3;
    QTest::newRow("accents and case ignored") << "NMRAZSOCCLIE"
                                              << "GRAOS" << 1;
    QTest::newRow("key column") << "CDCLIENTE"
                                << "c4" << 3;
    QTest::newRow("nothing") << "NMFANTCLIE"
                             << "zzz" << -1;
    QTest::newRow("blank text") << "NMFANTCLIE"
                                << "  " << -1;
}

void TestLookup::findRecord()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, position);
    QCOMPARE(FindRecord(*cds, field, text), position);
}

void TestLookup::procuraDialog()
{
    int attempts = 0;
    whenModal<TfrmProcura>([&](TfrmProcura* dialog) {
        dialog->column()->setCurrentIndex(dialog->column()->findText("Razão Social"));
        QTest::keyClicks(dialog->text(), "nada");
        dialog->findChild<QPushButton*>("btnProcurar")->click();
        attempts = int((**messages).messages.size());
        QVERIFY(dialog->isVisible()); // not found: the dialog stays for another try
        dialog->text()->clear();
        QTest::keyClicks(dialog->text(), "sul");
        dialog->findChild<QPushButton*>("btnProcurar")->click();
    });
    QVERIFY(Procura(cds.get()));
    QCOMPARE(attempts, 1);
    QCOMPARE((**messages).texts(), QStringList{"Registro não encontrado."});
    QCOMPARE(cds->FieldByName("CDCLIENTE").AsString(), QString("C4"));
}

QTEST_MAIN(TestLookup)
#include "tst_lookup.moc"
