#include "Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHash>
#include <QInputDialog>
#include <QPointer>

namespace {
QHash<QString, QPointer<QMessageBox>>& notices()
{
    static QHash<QString, QPointer<QMessageBox>> boxes;
    return boxes;
}
} // namespace

Dialogs::MessageHandler Dialogs::s_messageHandler;
Dialogs::PromptHandler Dialogs::s_promptHandler;

QMessageBox::StandardButton Dialogs::show(QWidget* parent, const Message& message,
                                          const Captions& captions)
{
    if (s_messageHandler)
        return s_messageHandler(message);
    QMessageBox box(message.icon, message.title.isEmpty() ? defaultTitle() : message.title,
                    message.text, message.buttons, parent);
    if (message.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(message.defaultButton);
    // The words of the save question whatever Qt's translation has.
    const Captions words{{QMessageBox::Save, QStringLiteral("Сохранить")},
                         {QMessageBox::Discard, QStringLiteral("Не сохранять")},
                         {QMessageBox::Cancel, QStringLiteral("Отмена")}};
    for (const auto& [button, text] : words + captions)
        if (QAbstractButton* shown = box.button(button))
            shown->setText(text);
    if (message.buttons.testFlag(QMessageBox::Cancel))
        box.setEscapeButton(QMessageBox::Cancel);
    return QMessageBox::StandardButton(box.exec());
}

void Dialogs::notify(QWidget* parent, const QString& kind, const Message& message)
{
    if (s_messageHandler) {
        s_messageHandler(message);
        return;
    }
    QPointer<QMessageBox>& box = notices()[kind];
    if (box) {
        box->setText(message.text);
        box->raise();
        return;
    }
    box = new QMessageBox(message.icon, message.title.isEmpty() ? defaultTitle() : message.title,
                          message.text, message.buttons, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (message.defaultButton != QMessageBox::NoButton)
        box->setDefaultButton(message.defaultButton);
    box->open();
}

QList<QMessageBox*> Dialogs::openNotices()
{
    QList<QMessageBox*> open;
    for (const QPointer<QMessageBox>& box : std::as_const(notices()))
        if (box && box->isVisible())
            open << box.data();
    return open;
}

void Dialogs::critical(QWidget* parent, const QString& title, const QString& text)
{
    show(parent, {QMessageBox::Critical, title, text, QMessageBox::Ok, QMessageBox::Ok});
}

void Dialogs::information(QWidget* parent, const QString& title, const QString& text)
{
    show(parent, {QMessageBox::Information, title, text, QMessageBox::Ok, QMessageBox::Ok});
}

void Dialogs::plain(QWidget* parent, const QString& text)
{
    show(parent, {QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, QMessageBox::Ok});
}

Dialogs::PromptAnswer Dialogs::prompt(QWidget* parent, const Prompt& prompt)
{
    if (s_promptHandler)
        return s_promptHandler(prompt);
    PromptAnswer answer;
    answer.text = QInputDialog::getText(parent, prompt.title, prompt.label, QLineEdit::Normal,
                                        prompt.text, &answer.accepted);
    return answer;
}

QString Dialogs::defaultTitle()
{
    return QCoreApplication::applicationName();
}

void Dialogs::setMessageHandler(MessageHandler handler)
{
    s_messageHandler = std::move(handler);
}

void Dialogs::setPromptHandler(PromptHandler handler)
{
    s_promptHandler = std::move(handler);
}
