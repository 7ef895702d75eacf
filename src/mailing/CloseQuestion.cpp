#include "CloseQuestion.h"

#include "DispatchTimer.h"
#include "MailingSettings.h"

CloseQuestion::CloseQuestion(DispatchTimer& timer) : m_timer(timer) {}

bool CloseQuestion::isNeeded(const SettingsStore& store)
{
    return MailingSettings::read(store).unusableKeys().isEmpty() && !m_timer.isOn();
}

CloseQuestion::Step CloseQuestion::answer(Answer answer)
{
    m_error.clear();
    switch (answer) {
    case Answer::Background:
        if (!m_timer.turnOn()) {
            m_error = m_timer.errorText();
            return Step::Stay;
        }
        return Step::Close;
    case Answer::Tray:
        return Step::ToTray;
    case Answer::Quit:
        break;
    }
    return Step::Close;
}

QString CloseQuestion::title()
{
    return QStringLiteral("Рассылка отчетов");
}

QString CloseQuestion::text()
{
    return QStringLiteral("Отчеты рассылаются по расписанию, пока открыто окно программы, а "
                          "фоновая рассылка выключена. Если закрыть программу, следующая "
                          "рассылка не уйдёт.\n\nПродолжать рассылку в фоне (и при закрытом "
                          "окне), свернуть программу в область уведомлений или всё равно выйти?");
}

QString CloseQuestion::caption(Answer answer)
{
    switch (answer) {
    case Answer::Background:
        return QStringLiteral("Рассылать в фоне");
    case Answer::Tray:
        return QStringLiteral("Свернуть в трей");
    case Answer::Quit:
        break;
    }
    return QStringLiteral("Всё равно выйти");
}
