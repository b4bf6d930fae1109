#include "ScreenFixture.h"

#include "FasApplication.h"
#include "MessageService.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QTest>

ScreenFixture::ScreenFixture() = default;

ScreenFixture::~ScreenFixture()
{
    if (m_window) {
        FasApplication::SetMainForm(nullptr, nullptr);
        m_window.reset();
    }
    if (m_messages)
        MessageService::install(std::move(m_previousMessages));
}

QString ScreenFixture::start(std::unique_ptr<ScriptedMessageService> messages)
{
    if (!m_dir.isValid())
        return QStringLiteral("no temporary folder: ") + m_dir.errorString();
    if (qEnvironmentVariableIsEmpty("FAS_BIN_DIR"))
        return QStringLiteral("FAS_BIN_DIR names the folder of fas-appserver and the modules");
    // Every activation of a screen connects to the application server.
    const QString problem = m_server.start(m_dir.path());
    if (!problem.isEmpty())
        return problem;
    qputenv("FAS_OPTIONS_FILE", filePath(QStringLiteral("options.ini")).toLocal8Bit());
    if (!messages)
        messages = std::make_unique<ScriptedMessageService>();
    m_messages = messages.get();
    m_previousMessages = MessageService::install(std::move(messages));
    return {};
}

QMdiArea& ScreenFixture::makeMainWindow(QSize size)
{
    m_window = std::make_unique<QMainWindow>();
    m_area = new QMdiArea(m_window.get());
    m_window->setCentralWidget(m_area);
    if (size.isValid())
        m_window->resize(size);
    FasApplication::SetMainForm(m_window.get(), m_area);
    return *m_area;
}

bool ScreenFixture::showMainWindow()
{
    m_window->show();
    return QTest::qWaitForWindowActive(m_window.get());
}
