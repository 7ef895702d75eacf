#include "MainFrm.h"

#include "AnalysisAttachment.h"
#include "AnalysisWindow.h"
#include "AppIcon.h"
#include "AutostartEntry.h"
#include "BackupDialog.h"
#include "BackupMonitor.h"
#include "CallTransfer.h"
#include "Clock.h"
#include "CloseQuestion.h"
#include "Controls.h"
#include "DataEnv.h"
#include "DatabaseLocation.h"
#include "Dialogs.h"
#include "DigestAttachment.h"
#include "DispatchLock.h"
#include "DispatchTimer.h"
#include "GrafFrm.h"
#include "JournalWindow.h"
#include "KeptCalls.h"
#include "LocaleText.h"
#include "Logo.h"
#include "MailAccountDialog.h"
#include "MailAttachments.h"
#include "MailingSettings.h"
#include "Param.h"
#include "ReportAttachment.h"
#include "ReportKind.h"
#include "ReportRunner.h"
#include "RowSet.h"
#include "SettingsCheck.h"
#include "SettingsStore.h"
#include "Twips.h"
#include "frmSets.h"
#include "slFrm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStringListModel>
#include <QSystemTrayIcon>
#include <QTcpSocket>
#include <QTimeEdit>
#include <QTimer>
#include <memory>

namespace {
const QString waiting = QStringLiteral("Ожидание");
// How often the calls kept at the desk are sent while the server is there.
constexpr int keptInterval = 5000;

QComboBox* boundList(QWidget* parent, const char* name, RowSet* rows, const QString& column,
                     const QRect& geometry)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setGeometry(geometry);
    combo->setEditable(false);
    combo->setModel(rows);
    combo->setModelColumn(qMax(0, rows->columnIndex(column)));
    combo->setCurrentIndex(-1);
    // A list reloaded because another desk changed it keeps the operator's choice.
    auto chosen = std::make_shared<QString>();
    QObject::connect(rows, &QAbstractItemModel::modelAboutToBeReset, combo,
                     [combo, chosen] { *chosen = combo->currentText(); });
    QObject::connect(rows, &QAbstractItemModel::modelReset, combo, [combo, chosen] {
        combo->setCurrentIndex(chosen->isEmpty() ? -1 : combo->findText(*chosen));
    });
    return combo;
}
} // namespace

MainFrm::MainFrm(QWidget* parent) : QMainWindow(parent), m_register(DataEnv::instance())
{
    setObjectName("MainFrm");
    setWindowTitle("Kalvent");
    setWindowIcon(AppIcon::icon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    buildControls();
    buildMenu();
    buildDispatch();
    m_register.setWaitNotice([this](const QString& notice) {
        setStatus(notice);
        // The add holds the event loop until the other write ends: the notice is drawn now.
        m_stat->repaint();
        m_waited = true;
    });
    adjustSize();
    setFixedSize(sizeHint());
}

MainFrm::~MainFrm()
{
    slFrm::setStatusSink({});
}

void MainFrm::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->setFixedSize(Twips::size(6630, 2295));
    setCentralWidget(client);

    Controls::label(client, "Label4", QStringLiteral("Дата"), Twips::rect(840, 120, 975, 255));
    m_data = new QDateEdit(client);
    m_data->setObjectName("Data");
    m_data->setCalendarPopup(true);
    m_data->setGeometry(Twips::rect(2040, 120, 1455, 300));

    DataEnv* env = DataEnv::instance();
    RowSet* services = env->bind("Uslugi");
    RowSet* sources = env->bind("Istochnik");
    // A server that is away: the lists last read from it, and the calls kept at this desk.
    QStringListModel* keptServices = nullptr;
    QStringListModel* keptSources = nullptr;
    if (!services->isOpen() || !sources->isOpen()) {
        m_dataError = env->errorText();
        KeptCalls* kept = m_register.kept();
        if (kept && CallTransfer::isServerAway(m_dataError) && !kept->list("Uslugi").isEmpty() &&
            !kept->list("Istochnik").isEmpty()) {
            keptServices = new QStringListModel(kept->list("Uslugi"), this);
            keptSources = new QStringListModel(kept->list("Istochnik"), this);
            m_dataError.clear();
        }
    } else {
        m_register.copyLists();
        for (RowSet* rows : {services, sources})
            connect(rows, &QAbstractItemModel::modelReset, this,
                    [this] { m_register.copyLists(); });
    }

    Controls::label(client, "Label2", QStringLiteral("Интересующая услуга"),
                    Twips::rect(120, 600, 1815, 255));
    m_usluga = boundList(client, "Usluga", services, "Uname", Twips::rect(2040, 600, 2655, 315));
    if (keptServices)
        m_usluga->setModel(keptServices);
    Controls::label(client, "Label3", QStringLiteral("Источник рекламы"),
                    Twips::rect(120, 960, 1815, 255));
    m_istochnik =
        boundList(client, "Istochnik", sources, "IName", Twips::rect(2040, 960, 2655, 315));
    if (keptSources)
        m_istochnik->setModel(keptSources);

    m_zapis = new QCheckBox(QStringLiteral("Запись на услугу"), client);
    m_zapis->setObjectName("Zapis");
    m_zapis->setGeometry(Twips::rect(2040, 1440, 1695, 255));

    m_command1 = new QPushButton(QStringLiteral("Добавить"), client);
    m_command1->setObjectName("Command1");
    m_command1->setGeometry(Twips::rect(4920, 1320, 1575, 375));
    m_command1->setDefault(true);
    connect(m_command1, &QPushButton::clicked, this, &MainFrm::addCall);

    m_command3 = new QPushButton("Command3", client);
    m_command3->setObjectName("Command3");
    m_command3->setGeometry(Twips::rect(4920, 1800, 1095, 375));
    m_command3->setVisible(false);

    m_stat = Controls::label(client, "Stat", waiting, Twips::rect(120, 2040, 4575, 255));
    QFont statFont("Arial");
    statFont.setPointSizeF(8.25);
    m_stat->setFont(statFont);
    QPalette palette = m_stat->palette();
    palette.setColor(QPalette::WindowText, QColor(128, 128, 128));
    m_stat->setPalette(palette);

    m_time1 = new QTimeEdit(client);
    m_time1->setObjectName("Time1");
    m_time1->setDisplayFormat("HH:mm:ss");
    m_time1->setGeometry(Twips::rect(4800, 0, 1695, 375));
    m_time1->setVisible(false);

    setTabOrder(m_usluga, m_istochnik);
    setTabOrder(m_istochnik, m_zapis);
    setTabOrder(m_zapis, m_command1);
    setTabOrder(m_command1, m_data);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName("Timer1");
    m_timer1->setInterval(10000);
    connect(m_timer1, &QTimer::timeout, this, [this] { setStatus(waiting); });

    // The window stays open over night: the date field moves on at midnight.
    m_dayTimer = new QTimer(this);
    m_dayTimer->setObjectName("dayTimer");
    m_dayTimer->setInterval(1000);
    connect(m_dayTimer, &QTimer::timeout, this, [this] { followDay(Clock::today()); });
}

void MainFrm::buildMenu()
{
    m_menu = menuBar()->addMenu(QStringLiteral("&Меню"));
    m_menu->setObjectName("menu1");
    auto add = [this](QMenu* menu, const char* name, const QString& caption, auto slot) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add(m_menu, "delped", QStringLiteral("&Удалить предыдущий"), &MainFrm::removePreviousCall);
    m_menu->addSeparator()->setObjectName("lin1");
    QMenu* reports = m_menu->addMenu(QStringLiteral("&Отчеты"));
    reports->setObjectName("otch");
    reports->menuAction()->setObjectName("otch");
    for (const ReportKind& kind : ReportKind::all())
        add(reports, kind.menuName(), kind.menuCaption(),
            [this, value = kind.value()] { openReport(value); });
    reports->addSeparator()->setObjectName("linAnaliz");
    add(reports, "analizRekl", QStringLiteral("&Анализ рекламы"),
        [this] { AnalysisWindow::showWindow(DataEnv::instance(), this); });
    add(m_menu, "slujNastr", QStringLiteral("&Служебная настройка"), &MainFrm::openMailingSettings);
    add(m_menu, "nastr", QStringLiteral("&Настройки..."), &MainFrm::openListEditor);
    m_menu->addSeparator()->setObjectName("lin");
    add(m_menu, "opropgr", QStringLiteral("&О программе..."), [] { Logo::showAbout(); });
    add(m_menu, "zhurnal", QStringLiteral("&Журнал звонков"),
        [this] { JournalWindow::showWindow(DataEnv::instance(), this); });
    add(m_menu, "rezKopii", QStringLiteral("&Резервные копии…"),
        [this] { BackupDialog::showModal(m_backups, this); });
    // Started at login (XDG autostart), off until ticked.
    m_menu->addSeparator()->setObjectName("linAvtozapusk");
    QAction* autostart = m_menu->addAction(QStringLiteral("Запускать при входе в систему"));
    autostart->setObjectName("avtozapusk");
    autostart->setCheckable(true);
    autostart->setChecked(AutostartEntry::isOn());
    connect(autostart, &QAction::toggled, this, [this, autostart](bool on) {
        AutostartEntry entry;
        if (entry.set(on))
            return;
        const QSignalBlocker unchanged(autostart);
        autostart->setChecked(!on);
        Dialogs::critical(this, QStringLiteral("Сообщение"), entry.errorText());
    });

    connect(m_command3, &QPushButton::clicked, this, [this] {
        // The period of the last by-date report, previewed or exported.
        GrafFrm::showModal(DataEnv::instance(),
                           ReportRunner::lastPeriod(*ReportKind::find(ReportKind::ByDate)), this);
    });

    m_tray = new QSystemTrayIcon(AppIcon::icon(), this);
    m_tray->setObjectName("cSysTray1");
    m_tray->setToolTip("Kalvent");
    connect(m_tray, &QSystemTrayIcon::activated, this, &MainFrm::restoreFromTray);
    m_backups = new BackupMonitor(statusBar(), m_tray, this);
    m_waitingLine = new QLabel(statusBar());
    m_waitingLine->setObjectName("waitingLine");
    m_waitingLine->setVisible(false);
    statusBar()->addWidget(m_waitingLine);
    // The fixed size follows the backup warning's line, shown only while there is one.
    connect(m_backups, &BackupMonitor::shownChanged, this, &MainFrm::fitStatusBar);
    m_keptTimer = new QTimer(this);
    m_keptTimer->setObjectName("keptTimer");
    m_keptTimer->setInterval(keptInterval);
    connect(m_keptTimer, &QTimer::timeout, this, &MainFrm::sendKeptCalls);
}

void MainFrm::fitStatusBar()
{
    statusBar()->setVisible(m_backups->isShown() || !m_waitingLine->isHidden());
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    adjustSize();
    setFixedSize(sizeHint());
}

void MainFrm::sendKeptCalls()
{
    if (m_register.waitingCount() > 0) {
        // A host that does not answer would hold the window for the whole connect timeout:
        // its port is tried for a second first, and the tries grow rarer while it is away.
        const DatabaseLocation location(DataEnv::instance()->database().path());
        QTcpSocket probe;
        probe.connectToHost(location.host(), quint16(location.port()));
        const bool sent = probe.waitForConnected(1000) && m_register.transfer();
        m_keptTimer->setInterval(sent ? keptInterval : qMin(m_keptTimer->interval() * 2, 60000));
    }
    showWaiting();
}

void MainFrm::showWaiting()
{
    const int waiting = m_register.waitingCount();
    const bool shown = !m_waitingLine->isHidden();
    m_waitingLine->setText(waiting > 0 ? CallRegister::waitingText(waiting) : QString());
    m_waitingLine->setVisible(waiting > 0);
    if (shown != (waiting > 0))
        fitStatusBar();
}

void MainFrm::buildDispatch()
{
    slFrm::setStatusSink([this](const QString& text) { setStatus(text); });
    MailAttachments::set(ReportAttachment::all() << std::make_shared<AnalysisAttachment>()
                                                 << std::make_shared<DigestAttachment>());
    m_mailing = std::make_unique<MailingRun>();
    m_mailing->setAccountSource(MailAccountDialog::askingSource([this] { return this; }));
    DispatchSchedule::Hooks hooks;
    hooks.status = [this](const QString& text) { setStatus(text); };
    // No box waits for its answer here: the dispatch and the retries go on while one is open.
    auto plain = [this](const QString& kind, const QString& text) {
        Dialogs::notify(this, kind,
                        {QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, QMessageBox::Ok});
    };
    auto critical = [this](const QString& kind, const QString& text) {
        Dialogs::notify(this, kind,
                        {QMessageBox::Critical, QStringLiteral("Сообщение"), text, QMessageBox::Ok,
                         QMessageBox::Ok});
    };
    hooks.mailFailed = [plain](const QString& error) {
        plain(QStringLiteral("mailFailed"), error);
    };
    // A dispatch closes the settings window, as loading its values into it always did.
    hooks.finished = [] { slFrm::release(); };
    hooks.announce = [plain](const QString& nextDate) {
        plain(QStringLiteral("announce"), nextDate);
    };
    hooks.failed = [this, critical](const QString& message) {
        if (m_tray && m_tray->isVisible())
            m_tray->showMessage(QStringLiteral("Kalvent"), message, QSystemTrayIcon::Critical);
        critical(QStringLiteral("failed"), message);
    };
    m_dispatch = std::make_unique<DispatchSchedule>(*m_mailing, std::move(hooks));

    m_timer2 = new QTimer(this);
    m_timer2->setObjectName("Timer2");
    m_timer2->setInterval(10000);
    connect(m_timer2, &QTimer::timeout, this, &MainFrm::dispatchTick);
}

void MainFrm::dispatchTick()
{
    if (DispatchLock::isBusy())
        return; // "Отправить отчеты" is mailing right now
    SettingsStore store;
    if (m_dispatch->tick(store, Clock::now()) == DispatchSchedule::Result::Unusable)
        setStatus(DispatchSchedule::unusableText());
    // Mails kept after a failure go out again quietly; a failure for good is told once.
    const MailingRun::Redelivery round =
        m_mailing->deliverKept(Clock::now(), false, store.read(MailingSettings::sendersKey));
    if (round.delivered > 0)
        setStatus(QStringLiteral("Сохранённые отчеты отправлены"));
    for (const Outbox::Mail& mail : round.nowForGood)
        Dialogs::notify(this, QStringLiteral("keptForGood"),
                        {QMessageBox::Critical, QStringLiteral("Сообщение"),
                         QStringLiteral("Отчеты от %1 для %2 не удалось отправить: %3\nОни "
                                        "сохранены и будут отправлены снова, когда изменятся "
                                        "почтовая учётная запись или адрес получателя.")
                             .arg(LocaleText::moment(mail.created), mail.recipient, mail.lastError),
                         QMessageBox::Ok, QMessageBox::Ok});
}

void MainFrm::openReport(int kind)
{
    nReport = kind;
    Param::showModal([this] { return nReport; }, DataEnv::instance(), this);
}

void MainFrm::openMailingSettings()
{
    slFrm::showModal(this);
}

void MainFrm::closeEvent(QCloseEvent* event)
{
    DispatchTimer timer;
    CloseQuestion question(timer);
    // At the end of the desktop session the program closes without a word.
    if (!m_loaded || qGuiApp->isSavingSession() || !question.isNeeded(SettingsStore())) {
        QMainWindow::closeEvent(event);
        return;
    }
    using Answer = CloseQuestion::Answer;
    Dialogs::Message box{QMessageBox::Question, CloseQuestion::title(), CloseQuestion::text(),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Discard,
                         QMessageBox::Yes};
    const Dialogs::Captions captions{{QMessageBox::Yes, CloseQuestion::caption(Answer::Background)},
                                     {QMessageBox::No, CloseQuestion::caption(Answer::Tray)},
                                     {QMessageBox::Discard, CloseQuestion::caption(Answer::Quit)}};
    // Escape and the box's close button go to the tray: nothing stops the mailing.
    const QMessageBox::StandardButton chosen = Dialogs::show(this, box, captions);
    const Answer answer = chosen == QMessageBox::Yes       ? Answer::Background
                          : chosen == QMessageBox::Discard ? Answer::Quit
                                                           : Answer::Tray;
    switch (question.answer(answer)) {
    case CloseQuestion::Step::Close:
        QMainWindow::closeEvent(event);
        return;
    case CloseQuestion::Step::ToTray:
        event->ignore();
        hideToTray();
        return;
    case CloseQuestion::Step::Stay:
        event->ignore();
        Dialogs::critical(this, QStringLiteral("Сообщение"), question.errorText());
        return;
    }
}

void MainFrm::hideToTray()
{
    if (m_tray->isVisible() && QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void MainFrm::restoreFromTray()
{
    if (isHidden())
        show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    if (isVisible())
        activateWindow();
}

void MainFrm::showMain()
{
    if (!m_loaded) {
        load();
        Controls::centreOnScreen(this);
    }
    show();
}

void MainFrm::load()
{
    m_loaded = true;
    m_timer1->start();
    m_timer2->start();
    m_keptTimer->start();
    showWaiting();
    m_tray->show();
    m_backups->start();
    Checknull();
    m_data->setDate(Clock::today());
    m_day.set(m_data->date());
    m_dayTimer->start();
    m_usluga->setFocus();
    if (!m_dataError.isEmpty())
        Dialogs::critical(this, QStringLiteral("Сообщение"), m_dataError);
}

void MainFrm::Checknull()
{
    // During the load the window is not on screen yet: its boxes then go to the screen centre.
    QWidget* owner = isVisible() ? this : nullptr;
    SettingsCheck::run(SettingsStore(), owner, [owner] { slFrm::showModal(owner); });
}

void MainFrm::followDay(const QDate& today)
{
    const QDate date = m_day.follow(m_data->date(), today);
    if (date != m_data->date())
        m_data->setDate(date);
}

void MainFrm::setStatus(const QString& text)
{
    m_stat->setText(text);
    // A longer message than the line was drawn for takes the width up to the window's edge,
    // over the hidden button there; a short one gives the line its own width back.
    const QRect line = Twips::rect(120, 2040, 4575, 255);
    const int room = m_stat->parentWidget()->width() - line.x();
    const int wanted = m_stat->fontMetrics().horizontalAdvance(text) + 2;
    m_stat->resize(qBound(line.width(), wanted, qMax(line.width(), room)), line.height());
}

void MainFrm::addCall()
{
    if (m_droppingInput)
        return;
    const QDateTime now = Clock::now(); // the date and the time of the call from one reading
    m_time1->setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    followDay(now.date()); // a call just after midnight, before the timer's next look
    if (!m_dataError.isEmpty()) {
        // Empty lists here mean no database, not a missed choice.
        Dialogs::critical(
            this, QStringLiteral("Сообщение"),
            QStringLiteral("Звонок не сохранён: база данных недоступна.\n%1").arg(m_dataError));
        return;
    }
    const QString source = m_istochnik->currentText();
    const QString service = m_usluga->currentText();
    m_waited = false;
    const CallRegister::AddResult result =
        m_register.add(m_data->date(), service, source, m_zapis->isChecked(), m_time1->time());
    if (m_waited) {
        // Clicks and keys given during the wait are not taken as more calls.
        m_droppingInput = true;
        QCoreApplication::processEvents();
        m_droppingInput = false;
    }
    switch (result) {
    case CallRegister::AddResult::MissingChoice:
        Dialogs::show(this,
                      {QMessageBox::Critical, QStringLiteral("Сообщение"),
                       QStringLiteral("Заполните все поля!"), QMessageBox::Ok, QMessageBox::Ok});
        return;
    case CallRegister::AddResult::Failed:
        Dialogs::critical(this, QStringLiteral("Сообщение"),
                          QStringLiteral("Звонок не сохранён.\n%1").arg(m_register.errorText()));
        return;
    case CallRegister::AddResult::Added:
        setStatus(QStringLiteral("Добавлено"));
        showWaiting();
        return;
    case CallRegister::AddResult::Kept:
        setStatus(QString::fromUtf8(CallRegister::keptText));
        showWaiting();
        return;
    }
}

void MainFrm::removePreviousCall()
{
    const auto result = m_register.removePrevious([this] {
        return Dialogs::show(this,
                             {QMessageBox::NoIcon, QStringLiteral("Удаление"),
                              QStringLiteral("Вы действительно хотите удалить предыдущий звонок?"),
                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok}) ==
               QMessageBox::Ok;
    });
    switch (result) {
    case CallRegister::RemoveResult::Removed:
        setStatus(QStringLiteral("Услуга удалена"));
        showWaiting();
        break;
    case CallRegister::RemoveResult::Cancelled:
        setStatus(QStringLiteral("Удаление отменено"));
        break;
    case CallRegister::RemoveResult::NothingToRemove:
        Dialogs::information(this, QStringLiteral("Удаление"),
                             QStringLiteral("В базе нет ни одного звонка: удалять нечего."));
        break;
    case CallRegister::RemoveResult::Failed:
        Dialogs::critical(this, QStringLiteral("Удаление"),
                          QStringLiteral("Звонок не удалён.\n%1").arg(m_register.errorText()));
        break;
    }
}

void MainFrm::openListEditor()
{
    frmSets editor(this);
    editor.exec();
}

void MainFrm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_command1->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}
