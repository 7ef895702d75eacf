#pragma once

#include "MailingRun.h"

#include <QDialog>
#include <QPointer>
#include <QTime>
#include <functional>

class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;

// The mailing settings window "Служебные настройки". One instance is shared by the menu, the
// start-up check and the dispatch; it is created (and loaded) on first use and destroyed when
// it is closed, so every new instance shows the stored settings afresh.
class slFrm : public QDialog
{
    Q_OBJECT

public:
    // The shared window, created and loaded when none exists. `parent` applies to a new one.
    static slFrm* instance(QWidget* parent = nullptr);
    // The shared window, or nullptr when none exists.
    static slFrm* existing();
    // Closes (unloads) the shared window, if any, without storing anything.
    static void release();
    // Shows the shared window as a modal dialog and returns when it is closed.
    static void showModal(QWidget* parent = nullptr);

    // Copies the stored settings into the boxes.
    void loadparam();

    // Waits the given seconds while the window system goes on handling events.
    void Pause(double seconds);
    // Writes the report bundle over the period in the Days box into the reports folder.
    // Shows nothing; the failed file and the reason are in errorText().
    bool saverep();
    // Mails the bundle to the recipient in the box, with the subject box as subject and body.
    // A failed mail is shown to the operator here; a missing mail account is not.
    MailingRun::Result sender();
    QString errorText() const { return m_error; }

    // The values as they stand in the window, stored or not.
    QString daysText() const;
    QTime time() const;
    QString temsText() const;
    QString sendersText() const;

    // Where "Отправить отчеты" tells how it went (the main window's status line).
    static void setStatusSink(std::function<void(const QString&)> sink);

    QPushButton* sendButton() const { return m_btSend; }
    QPushButton* okButton() const { return m_okBut; }

public Q_SLOTS:
    void done(int result) override;

private:
    explicit slFrm(QWidget* parent);
    ~slFrm() override;

    void buildControls();
    void markUnusable();
    void unmark(QWidget* box);
    void okClicked();
    void sendClicked();
    QWidget* messageParent();

    static QPointer<slFrm> s_instance;
    static std::function<void(const QString&)> s_statusSink;
    QString m_error;

    QLineEdit* m_days = nullptr;
    QTimeEdit* m_times = nullptr;
    QLineEdit* m_tems = nullptr;
    QLineEdit* m_senders = nullptr;
    QPushButton* m_btSend = nullptr;
    QPushButton* m_okBut = nullptr;
    QDateTimeEdit* m_nextDate = nullptr;
};
