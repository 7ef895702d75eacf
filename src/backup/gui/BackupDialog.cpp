#include "BackupDialog.h"

#include "AppPaths.h"
#include "BackupFolder.h"
#include "BackupMonitor.h"
#include "BackupRestore.h"
#include "BackupStatus.h"
#include "Clock.h"
#include "DatabaseLocation.h"
#include "Dialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
const QString title = QStringLiteral("Резервные копии");

} // namespace

BackupDialog::BackupDialog(BackupMonitor* monitor, QWidget* parent)
    : QDialog(parent), m_monitor(monitor), m_folder(new QLineEdit(this)),
      m_list(new QTreeWidget(this)), m_state(new QLabel(this)),
      m_choose(new QPushButton(QStringLiteral("Выбрать…"), this)),
      m_take(new QPushButton(QStringLiteral("Создать копию сейчас"), this)),
      m_restore(new QPushButton(QStringLiteral("Восстановить…"), this))
{
    setObjectName("BackupDialog");
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Папка резервных копий (лучше всего — флешка или "
                                                "сетевая папка, чтобы копии хранились не на "
                                                "этом компьютере):"),
                                 this));
    auto* folderRow = new QHBoxLayout;
    m_folder->setReadOnly(true);
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(m_choose);
    layout->addLayout(folderRow);
    m_list->setHeaderLabels({QStringLiteral("Дата и время"), QStringLiteral("Звонков"),
                             QStringLiteral("Размер"), QStringLiteral("Состояние")});
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(true);
    layout->addWidget(m_list, 1);
    m_state->setWordWrap(true);
    layout->addWidget(m_state);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_take, QDialogButtonBox::ActionRole);
    buttons->addButton(m_restore, QDialogButtonBox::ActionRole);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_choose, &QPushButton::clicked, this, &BackupDialog::chooseFolder);
    connect(m_take, &QPushButton::clicked, this, &BackupDialog::takeNow);
    connect(m_restore, &QPushButton::clicked, this, &BackupDialog::restoreSelected);
    resize(720, 460);
    reload();
    setWorking(m_monitor && m_monitor->isBusy());
}

void BackupDialog::showModal(BackupMonitor* monitor, QWidget* parent)
{
    BackupDialog dialog(monitor, parent);
    dialog.exec();
}

void BackupDialog::reload()
{
    const QString folder = BackupFolder::chosen();
    m_folder->setText(QDir::toNativeSeparators(folder));
    m_list->clear();
    for (const BackupEntry& entry : BackupFolder(folder).entries()) {
        auto* item = new QTreeWidgetItem(
            m_list, {entry.taken.toString("yyyy-MM-dd HH:mm"),
                     entry.verified ? QString::number(entry.calls) : QStringLiteral("—"),
                     BackupFolder::sizeText(entry.size),
                     entry.verified ? QStringLiteral("проверена")
                                    : QStringLiteral("не проверена — не резервная копия")});
        item->setData(0, Qt::UserRole, entry.path);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        if (!entry.verified)
            item->setForeground(3, QColor(0xb0, 0, 0));
    }
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    const QString warning = BackupStatus::warning(folder, Clock::now());
    m_state->setText(warning.isEmpty()
                         ? QStringLiteral("Копия делается сама раз в день; хранятся 7 "
                                          "ежедневных, 4 еженедельных и 12 ежемесячных копий.")
                         : warning);
}

void BackupDialog::setWorking(bool working)
{
    m_take->setEnabled(!working);
    m_restore->setEnabled(!working);
    m_choose->setEnabled(!working);
    if (working)
        m_state->setText(QStringLiteral("Создаётся резервная копия…"));
}

void BackupDialog::chooseFolder()
{
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Папка резервных копий"), BackupFolder::chosen());
    if (chosen.isEmpty())
        return;
    const Outcome<void> stored = BackupFolder::choose(chosen);
    if (!stored)
        Dialogs::critical(this, title, stored.errorText());
    reload();
    if (m_monitor)
        m_monitor->refresh();
}

void BackupDialog::takeNow()
{
    if (!m_monitor)
        return;
    const bool started = m_monitor->takeNow([this](const QString& reason) {
        setWorking(false);
        reload();
        if (!reason.isEmpty())
            Dialogs::critical(this, title, reason);
    });
    if (started)
        setWorking(true);
}

void BackupDialog::restoreSelected()
{
    QString file =
        m_list->currentItem() ? m_list->currentItem()->data(0, Qt::UserRole).toString() : QString();
    if (file.isEmpty())
        file = QFileDialog::getOpenFileName(this, QStringLiteral("Файл резервной копии"),
                                            BackupFolder::chosen(),
                                            QStringLiteral("Резервные копии (*.db)"));
    if (file.isEmpty())
        return;
    const QString location = AppPaths::databasePath();
    const DatabaseLocation where(location);
    const QString copyName = QDir::toNativeSeparators(file);
    bool replace = false;
    if (where.isServer()) {
        replace = true;
        const Dialogs::PromptAnswer answer = Dialogs::prompt(
            this, {title,
                   QStringLiteral("Все звонки, списки и расходы в базе %1 будут заменены "
                                  "содержимым копии\n%2.\nПеред заменой программа сохранит "
                                  "копию текущей базы. После восстановления программа закроется.\n"
                                  "Чтобы подтвердить, введите имя базы: %3")
                       .arg(where.serverName(), copyName, where.databaseName()),
                   QString()});
        if (!answer.accepted)
            return;
        if (answer.text.trimmed() != where.databaseName()) {
            Dialogs::critical(this, title,
                              QStringLiteral("Имя базы введено неверно; ничего не изменено."));
            return;
        }
    } else if (Dialogs::show(this, {QMessageBox::Warning, title,
                                    QStringLiteral("Все звонки, списки и расходы будут заменены "
                                                   "содержимым копии\n%1.\n\nТекущая база "
                                                   "сохранится рядом с ней под именем\n%2."
                                                   "before-restore-…\nПосле восстановления "
                                                   "программа закроется; запустите её снова.\n\n"
                                                   "Восстановить?")
                                        .arg(copyName, QDir::toNativeSeparators(location)),
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No}) !=
               QMessageBox::Yes) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    BackupRestore restore(location, BackupFolder::chosen());
    restore.setReplacing(replace);
    const bool restored = restore.restore(file);
    QApplication::restoreOverrideCursor();
    if (!restored) {
        Dialogs::critical(this, title, restore.errorText());
        return;
    }
    Dialogs::information(this, title,
                         QStringLiteral("База восстановлена (звонков: %1). Прежняя база "
                                        "сохранена: %2\nПрограмма закроется; запустите её снова.")
                             .arg(restore.calls())
                             .arg(QDir::toNativeSeparators(restore.keptPath())));
    // The open window holds lists of the replaced register: it is not used any further.
    QCoreApplication::exit(0);
}
