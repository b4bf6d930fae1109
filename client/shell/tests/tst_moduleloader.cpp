// The module loader and LoadBPL facing modules that are missing, broken or not modules.
#include "EAbort.h"
#include "LoadBPL.h"
#include "MessageService.h"
#include "ModuleLoader.h"
#include "SuiteSetup.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestModuleLoader : public QObject
{
    Q_OBJECT

private slots:
    void refusesWhatCannotBeLoaded_data();
    void refusesWhatCannotBeLoaded();
    void loadBplReportsAndAborts();
    void loadBplWithoutHostReportsAndAborts();
};

void TestModuleLoader::refusesWhatCannotBeLoaded_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("fileContent"); // "" = no file; "lib" = a shared object; else text
    QTest::addColumn<QString>("expected");

    QTest::newRow("missing module") << "FAS99999"
                                    << ""
                                    << "Tela FAS99999 não encontrada.";
    QTest::newRow("code with a path") << "../etc"
                                      << ""
                                      << "Código de tela inválido";
    QTest::newRow("empty code") << ""
                                << ""
                                << "Código de tela inválido";
    QTest::newRow("not a shared object") << "BAD00001"
                                         << "texto qualquer"
                                         << "Não foi possível carregar o módulo da tela BAD00001";
    QTest::newRow("shared object without entries")
        << "NOE00001"
        << "lib"
        << "O módulo da tela NOE00001 não tem a entrada Initialize";
}

void TestModuleLoader::refusesWhatCannotBeLoaded()
{
    QFETCH(QString, code);
    QFETCH(QString, fileContent);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ModuleLoader loader(dir.path());
    if (fileContent == QLatin1String("lib")) {
        // Any shared object that is not a screen module will do.
        QVERIFY(QFile::copy(QStringLiteral("/lib/x86_64-linux-gnu/libz.so.1"),
                            loader.modulePath(code)));
    } else if (!fileContent.isEmpty()) {
        QFile file(loader.modulePath(code));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(fileContent.toUtf8());
    }

    try {
        loader.open(code);
        QFAIL("the module was accepted");
    } catch (const ModuleError& error) {
        QVERIFY2(error.text().contains(expected), qPrintable(error.text()));
    }
    QVERIFY(!loader.isLoaded(code));
}

void TestModuleLoader::loadBplReportsAndAborts()
{
    QTemporaryDir dir;
    ModuleLoader loader(dir.path());
    SetModuleOpener([&loader](const QString& code) { openModule(loader, code); });
    ScopedScriptedMessages messages;

    QVERIFY_THROWS_EXCEPTION(EAbort, LoadBPL(QStringLiteral("DFS15001")));
    QCOMPARE(messages->messages.size(), 1);
    QCOMPARE(messages->messages.first().kind, MessageService::Kind::Error);
    QCOMPARE(messages->messages.first().text, QStringLiteral("Tela DFS15001 não encontrada."));
    SetModuleOpener({});
}

void TestModuleLoader::loadBplWithoutHostReportsAndAborts()
{
    SetModuleOpener({});
    ScopedScriptedMessages messages;
    QVERIFY_THROWS_EXCEPTION(EAbort, LoadBPL(QStringLiteral("DFS15001")));
    QCOMPARE(messages->texts(),
             QStringList{QStringLiteral("A tela DFS15001 não pode ser aberta fora do sistema.")});
}

QTEST_MAIN(TestModuleLoader)
#include "tst_moduleloader.moc"
