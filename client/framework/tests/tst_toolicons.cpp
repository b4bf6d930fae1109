#include "SuiteStyle.h"
#include "TButtonFlat.h"
#include "ToolIcons.h"

#include <QApplication>
#include <QImage>
#include <QTest>

// Our own icons draw (the SVG support is installed and every file is in the resources), look
// clearly fainter when disabled (in the suite's style), and replace the buttons' letters.

namespace {

int opaquePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0;
    return count;
}

qint64 totalAlpha(const QImage& image)
{
    qint64 sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qAlpha(image.pixel(x, y));
    return sum;
}

QImage render(const QIcon& icon, QIcon::Mode mode, QIcon::State state = QIcon::Off)
{
    return icon.pixmap(QSize(16, 16), mode, state).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestToolIcons : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(new SuiteStyle); }
    void ownIconDraws_data();
    void ownIconDraws();
    void buttonsGetIcons();
};

void TestToolIcons::ownIconDraws_data()
{
    QTest::addColumn<QString>("button");
    for (const QString& name : ToolIconButtons())
        QTest::newRow(qPrintable(name)) << name;
}

void TestToolIcons::ownIconDraws()
{
    QFETCH(QString, button);
    const QIcon icon = OwnToolIcon(button);
    const QImage normal = render(icon, QIcon::Normal);
    QCOMPARE(normal.size(), QSize(16, 16));
    QVERIFY2(opaquePixels(normal) >= 16, "the icon draws (almost) nothing");
    const QImage disabled = render(icon, QIcon::Disabled);
    QVERIFY2(opaquePixels(disabled) >= 16, "the disabled icon draws (almost) nothing");
    QVERIFY2(totalAlpha(disabled) * 2 <= totalAlpha(normal), "a disabled button would look ready");
}

void TestToolIcons::buttonsGetIcons()
{
    QWidget form;
    auto* sbtMais = new TButtonFlat(&form);
    sbtMais->setObjectName("sbtMais");
    sbtMais->setText("+");
    sbtMais->SetHint("Mais");
    sbtMais->SetGroupIndex(1);
    auto* other = new TButtonFlat(&form);
    other->setObjectName("sbtOutro");
    other->setText("O");

    ApplyToolIcons(&form);

    QVERIFY(!sbtMais->icon().isNull());
    QVERIFY(sbtMais->text().isEmpty());
    QCOMPARE(sbtMais->iconSize(), QSize(16, 16));
    QCOMPARE(sbtMais->toolTip(), QString("Mais"));
    QCOMPARE(sbtMais->accessibleName(), QString("Mais"));
    QVERIFY(other->icon().isNull());
    QCOMPARE(other->text(), QString("O"));

    // The toggle shows whether it is pressed by its picture too.
    const QIcon own = OwnToolIcon("sbtMais");
    QVERIFY(render(own, QIcon::Normal, QIcon::On) != render(own, QIcon::Normal, QIcon::Off));
}

QTEST_MAIN(TestToolIcons)
#include "tst_toolicons.moc"
