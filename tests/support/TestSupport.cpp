#include "TestSupport.h"

#include <QCoreApplication>

namespace TestSupport {

void pinEnvironment()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QCoreApplication::setApplicationName("Kalvent");
}

MessageRecorder::MessageRecorder()
{
    Dialogs::setMessageHandler([this](const Dialogs::Message& message) {
        m_shown << message;
        return m_answers.isEmpty() ? QMessageBox::Ok : m_answers.takeFirst();
    });
}

MessageRecorder::~MessageRecorder()
{
    Dialogs::setMessageHandler({});
}

PromptRecorder::PromptRecorder()
{
    Dialogs::setPromptHandler([this](const Dialogs::Prompt& prompt) {
        m_shown << prompt;
        return m_answers.isEmpty() ? Dialogs::PromptAnswer{} : m_answers.takeFirst();
    });
}

PromptRecorder::~PromptRecorder()
{
    Dialogs::setPromptHandler({});
}

bool fire(QTimer* timer)
{
    if (!timer)
        return false;
    if (timer->isSingleShot())
        timer->stop();
    return QMetaObject::invokeMethod(timer, "timeout");
}

} // namespace TestSupport
