#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

// Every message box and text prompt of the program goes through here, so that tests can
// answer them without a screen.
class Dialogs
{
public:
    struct Message
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };

    struct Prompt
    {
        QString title;
        QString label;
        QString text; // what the field holds at first
    };

    struct PromptAnswer
    {
        bool accepted = false;
        QString text;
    };

    using MessageHandler = std::function<QMessageBox::StandardButton(const Message&)>;
    using PromptHandler = std::function<PromptAnswer(const Prompt&)>;

    // Modal message box; returns the button chosen (Cancel/Escape/close box give Cancel when
    // Cancel is offered).
    // `captions`: words for some of its buttons in place of the standard ones.
    using Captions = QList<QPair<QMessageBox::StandardButton, QString>>;
    static QMessageBox::StandardButton show(QWidget* parent, const Message& message,
                                            const Captions& captions = {});
    static void critical(QWidget* parent, const QString& title, const QString& text);
    static void information(QWidget* parent, const QString& title, const QString& text);
    static void plain(QWidget* parent, const QString& text);

    // A box that does not wait for its answer: shown (modal to its window) and the call returns
    // at once, so timers go on. At most one box of each `kind` is on screen: a new message of a
    // kind whose box is open replaces its text.
    static void notify(QWidget* parent, const QString& kind, const Message& message);
    // The boxes of notify() now on screen (tests).
    static QList<QMessageBox*> openNotices();

    // Modal one-line text prompt with OK and Cancel.
    static PromptAnswer prompt(QWidget* parent, const Prompt& prompt);

    // The title a box without a title of its own carries.
    static QString defaultTitle();

    // Test hooks: when set, they answer instead of a real box.
    static void setMessageHandler(MessageHandler handler);
    static void setPromptHandler(PromptHandler handler);

private:
    static MessageHandler s_messageHandler;
    static PromptHandler s_promptHandler;
};
