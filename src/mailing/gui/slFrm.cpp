#include "slFrm.h"

#include "Clock.h"
#include "Controls.h"
#include "Dialogs.h"
#include "DispatchLock.h"
#include "LocaleText.h"
#include "MailAccountDialog.h"
#include "MailPause.h"
#include "MailingSettings.h"
#include "PeriodValidator.h"
#include "SettingsEditor.h"
#include "SettingsStore.h"
#include "Twips.h"

#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

QPointer<slFrm> slFrm::s_instance;
std::function<void(const QString&)> slFrm::s_statusSink;

namespace {
QLineEdit* textBox(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    return edit;
}
} // namespace

slFrm* slFrm::instance(QWidget* parent)
{
    if (!s_instance)
        s_instance = new slFrm(parent);
    return s_instance;
}

slFrm* slFrm::existing()
{
    return s_instance;
}

void slFrm::release()
{
    slFrm* window = s_instance;
    s_instance = nullptr;
    if (window)
        window->close();
}

void slFrm::showModal(QWidget* parent)
{
    // A parent that is not on screen yet would place the dialog at its corner.
    instance(parent && parent->isVisible() ? parent : nullptr)->exec();
}

slFrm::slFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName("slFrm");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Служебные настройки"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(Twips::size(6435, 3180));
    buildControls();
    loadparam();
}

slFrm::~slFrm()
{
    if (s_instance == this)
        s_instance = nullptr;
}

void slFrm::buildControls()
{
    Controls::label(this, "Label1", QStringLiteral("Отправлять отчеты каждые"),
                    Twips::rect(240, 240, 2415, 255));
    m_days = textBox(this, "Days", QStringLiteral("2"), Twips::rect(2760, 160, 615, 285));
    m_days->setValidator(new PeriodValidator(m_days));
    Controls::label(this, "Label2", QStringLiteral("(дней)"), Twips::rect(3480, 240, 495, 255));

    Controls::label(this, "Label5", QStringLiteral("Время отправки"),
                    Twips::rect(240, 600, 2415, 255));
    m_times = new QTimeEdit(this);
    m_times->setObjectName("Times");
    m_times->setDisplayFormat(LocaleText::timeFormat());
    m_times->setGeometry(Twips::rect(2760, 520, 1575, 300));

    Controls::label(this, "Label3", QStringLiteral("Тема письма"),
                    Twips::rect(360, 960, 2295, 255));
    m_tems = textBox(this, "tems", QStringLiteral("Реклама"), Twips::rect(2760, 960, 3495, 285));
    Controls::label(this, "Label4", QStringLiteral("Отправлять на адрес"),
                    Twips::rect(360, 1320, 2295, 255));
    m_senders = textBox(this, "senders", QStringLiteral("reports@example.com"),
                        Twips::rect(2760, 1320, 3495, 285));

    m_btSend = new QPushButton(QStringLiteral("Отправить отчеты"), this);
    m_btSend->setObjectName("btSend");
    m_btSend->setGeometry(Twips::rect(2760, 1800, 1695, 375));
    m_btSend->setAutoDefault(false);
    connect(m_btSend, &QPushButton::clicked, this, &slFrm::sendClicked);

    m_okBut = new QPushButton(QStringLiteral("&OK"), this);
    m_okBut->setObjectName("ok_but");
    m_okBut->setGeometry(Twips::rect(2760, 2640, 1695, 375));
    m_okBut->setDefault(true);
    connect(m_okBut, &QPushButton::clicked, this, &slFrm::okClicked);

    m_nextDate = new QDateTimeEdit(this);
    m_nextDate->setObjectName("NextDate");
    m_nextDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    m_nextDate->setGeometry(Twips::rect(4320, 120, 1215, 255));
    m_nextDate->setVisible(false);

    for (QLineEdit* edit : {m_days, m_tems, m_senders})
        connect(edit, &QLineEdit::textEdited, this, [this, edit] { unmark(edit); });
    connect(m_times, &QTimeEdit::timeChanged, this, [this] { unmark(m_times); });

    setTabOrder(m_days, m_tems);
    setTabOrder(m_tems, m_senders);
    setTabOrder(m_senders, m_times);
    setTabOrder(m_times, m_okBut);
    setTabOrder(m_okBut, m_btSend);
    setTabOrder(m_btSend, m_nextDate);
    m_days->setFocus();
}

void slFrm::loadparam()
{
    const SettingsEditor::Fields fields = SettingsEditor::load(SettingsStore(), Clock::timeOfDay());
    m_days->setText(fields.days);
    m_times->setTime(fields.time);
    m_tems->setText(fields.tems);
    m_senders->setText(fields.senders);
    if (fields.nextDate.isValid())
        m_nextDate->setDateTime(fields.nextDate);
    markUnusable();
}

void slFrm::markUnusable()
{
    // The boxes whose stored value is missing or unreadable are framed, the first has the
    // focus; typing in a box takes its frame away.
    const QStringList keys = MailingSettings::read(SettingsStore()).unusableKeys();
    const QList<std::pair<QString, QWidget*>> boxes{{MailingSettings::daysKey, m_days},
                                                    {MailingSettings::timesKey, m_times},
                                                    {MailingSettings::temsKey, m_tems},
                                                    {MailingSettings::sendersKey, m_senders}};
    bool focused = false;
    for (const auto& [key, box] : boxes) {
        const bool mark = keys.contains(key);
        box->setProperty("needsValue", mark);
        box->setStyleSheet(mark ? QStringLiteral("border: 1px solid #d00000;") : QString());
        if (mark && !focused) {
            box->setFocus();
            focused = true;
        }
    }
}

void slFrm::unmark(QWidget* box)
{
    if (!box->property("needsValue").toBool())
        return;
    box->setProperty("needsValue", false);
    box->setStyleSheet(QString());
}

QString slFrm::daysText() const
{
    return m_days->text();
}

QTime slFrm::time() const
{
    return m_times->time();
}

QString slFrm::temsText() const
{
    return m_tems->text();
}

QString slFrm::sendersText() const
{
    return m_senders->text();
}

void slFrm::done(int result)
{
    // A closed window is gone for its users at once, even before it is destroyed.
    if (s_instance == this)
        s_instance = nullptr;
    QDialog::done(result);
}

void slFrm::okClicked()
{
    SettingsStore store;
    const SettingsEditor::Outcome outcome = SettingsEditor::confirm(
        store, {daysText(), time(), temsText(), sendersText(), QDateTime()}, Clock::today());
    if (outcome.saved)
        m_nextDate->setDateTime(outcome.nextDate);

    const QPointer<slFrm> self(this);
    Dialogs::show(this, outcome.message);
    if (!self)
        return;
    if (outcome.saved) {
        accept();
        return;
    }
    m_days->setFocus();
    m_days->selectAll();
}

void slFrm::Pause(double seconds)
{
    MailPause::pause(seconds);
}

QWidget* slFrm::messageParent()
{
    return isVisible() ? this : parentWidget();
}

bool slFrm::saverep()
{
    MailingRun run;
    const bool ok = run.exportReports(daysText(), Clock::now());
    m_error = run.errorText();
    return ok;
}

MailingRun::Result slFrm::sender()
{
    m_error.clear();
    const QPointer<slFrm> self(this);
    QWidget* parent = messageParent();
    MailingRun run;
    run.setAccountSource(MailAccountDialog::askingSource(
        [self, parent]() -> QWidget* { return self ? self->messageParent() : parent; }));
    const MailingRun::Result result = run.send(sendersText(), temsText());
    // The window may have been closed while the mail went out.
    if (self)
        m_error = run.errorText();
    if (result == MailingRun::Result::MailFailed || result == MailingRun::Result::NotKept)
        Dialogs::plain(self ? messageParent() : parent, run.errorText());
    else if (result == MailingRun::Result::Sent && self)
        m_btSend->setEnabled(true);
    return result;
}

void slFrm::sendClicked()
{
    // Not while the schedule or the outbox mails.
    DispatchLock lock;
    if (!lock.takeHere())
        return;
    const QPointer<slFrm> self(this);
    m_btSend->setEnabled(false);
    auto report = [](const QString& text) {
        if (s_statusSink)
            s_statusSink(text);
    };
    if (!saverep()) {
        report(QStringLiteral("Отчеты не отправлены"));
        Dialogs::critical(this, QStringLiteral("Сообщение"), m_error);
        return;
    }
    const MailingRun::Result result = sender();
    report(result == MailingRun::Result::Sent ? QStringLiteral("Отчеты отправлены")
                                              : QStringLiteral("Отчеты не отправлены"));
    if (self && result == MailingRun::Result::NoAccount)
        Dialogs::critical(this, QStringLiteral("Сообщение"), m_error);
}

void slFrm::setStatusSink(std::function<void(const QString&)> sink)
{
    s_statusSink = std::move(sink);
}
