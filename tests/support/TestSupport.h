#pragma once

#include "Dialogs.h"

#include <QList>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

namespace TestSupport {

// Russian locale, a fixed application name; call first in initTestCase().
void pinEnvironment();

// Records every message box and answers each with the next queued button (Ok when none).
class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();
    void answer(QMessageBox::StandardButton button) { m_answers << button; }
    const QList<Dialogs::Message>& shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    QList<Dialogs::Message> m_shown;
    QList<QMessageBox::StandardButton> m_answers;
};

// Answers every text prompt with the next queued answer (cancel when none).
class PromptRecorder
{
public:
    PromptRecorder();
    ~PromptRecorder();
    void answer(const QString& text) { m_answers << Dialogs::PromptAnswer{true, text}; }
    void cancel() { m_answers << Dialogs::PromptAnswer{false, QString()}; }
    const QList<Dialogs::Prompt>& shown() const { return m_shown; }

private:
    QList<Dialogs::Prompt> m_shown;
    QList<Dialogs::PromptAnswer> m_answers;
};

} // namespace TestSupport
