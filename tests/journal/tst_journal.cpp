#include "AppPaths.h"
#include "CallEdit.h"
#include "CallEditDialog.h"
#include "CallJournal.h"
#include "CallRegister.h"
#include "CallStore.h"
#include "ChangeLogDialog.h"
#include "ChangeLogModel.h"
#include "Clock.h"
#include "DataEnv.h"
#include "JournalModel.h"
#include "JournalText.h"
#include "JournalWindow.h"
#include "KeptCalls.h"
#include "RowSet.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

// The call journal: its paged model, the texts that name calls, the edit's checks, and the
// window driven without a screen.
class TestJournal : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<DataEnv> m_env;
    QVector<Call> m_calls; // as stored, in the order of their keys
    int m_round = 0;

    // Reads every page the model offers; the rows read.
    static int readAll(JournalModel& model)
    {
        while (model.canFetchMore())
            model.fetchMore();
        return model.rowCount();
    }

    // The calls a filter keeps, computed here from what was stored.
    int expected(const std::function<bool(const Call&)>& keep) const
    {
        return int(std::count_if(m_calls.begin(), m_calls.end(), keep));
    }

    void checkOrder(const JournalModel& model)
    {
        QSet<qint64> seen;
        for (int r = 0; r < model.rowCount(); ++r) {
            const CallRecord& record = model.record(r);
            QVERIFY2(!seen.contains(record.id), qPrintable(QString::number(record.id)));
            seen.insert(record.id);
            if (r > 0) {
                const CallRecord& newer = model.record(r - 1);
                QVERIFY(newer.call.date > record.call.date ||
                        (newer.call.date == record.call.date && newer.id > record.id));
            }
        }
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void init()
    {
        Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
        m_env = std::make_unique<DataEnv>(
            TestSupport::database(m_dir.filePath(QString("KvBD%1.db").arg(++m_round))));
        QVERIFY(m_env->connect());
        for (const QString& name : {QStringLiteral("Газета"), QStringLiteral("Радио")})
            QVERIFY(m_env->bind("Istochnik")->addRow("IName", name));
        for (const QString& name : {QStringLiteral("Стрижка"), QStringLiteral("Маникюр")})
            QVERIFY(m_env->bind("Uslugi")->addRow("Uname", name));
        // Several thousand calls, many on the same day, so that pages end inside a day.
        m_calls.clear();
        const QStringList sources{QStringLiteral("Газета"), QStringLiteral("Радио"),
                                  QStringLiteral("Интернет")};
        for (int i = 0; i < 3100; ++i)
            m_calls << Call{QDate(2026, 12, 9).addDays(-(i * 7 % 97)),
                            i % 3 ? QStringLiteral("Стрижка") : QStringLiteral("Маникюр"),
                            sources.at(i % 3 == 0 ? 0 : i % 2 + 1), i % 5 == 0,
                            QTime(8, 0).addSecs(i)};
        QVERIFY(m_env->calls().addMany(m_calls));
    }

    void cleanup()
    {
        m_env.reset();
        Clock::setFixed({});
    }

    void everyCallIsReadOnceAPageAtATime()
    {
        JournalModel model(m_env->journal());
        QVERIFY(model.setFilter({}));
        // Only the first page, not the table.
        QCOMPARE(model.rowCount(), JournalModel::pageSize);
        QCOMPARE(model.pagesRead(), 1);
        QCOMPARE(readAll(model), int(m_calls.size()));
        QCOMPARE(model.pagesRead(), int(m_calls.size()) / JournalModel::pageSize + 1);
        checkOrder(model);
        QVERIFY(!model.canFetchMore());
        QCOMPARE(model.index(0, JournalModel::Date).data().toString(),
                 QStringLiteral("09.12.2026"));

        struct Case
        {
            CallFilter filter;
            std::function<bool(const Call&)> keep;
        };
        CallFilter bookedNewspaper;
        bookedNewspaper.source = QStringLiteral("газета"); // letter case aside
        bookedNewspaper.booked = true;
        CallFilter notBookedInTwoWeeks;
        notBookedInTwoWeeks.from = QDate(2026, 11, 25);
        notBookedInTwoWeeks.to = QDate(2026, 12, 7);
        notBookedInTwoWeeks.booked = false;
        CallFilter searched;
        searched.search = QStringLiteral("ДИО"); // part of "Радио", another case
        searched.service = QStringLiteral("Стрижка");
        const QList<Case> cases{
            {bookedNewspaper,
             [](const Call& c) { return c.source == QStringLiteral("Газета") && c.booked; }},
            {notBookedInTwoWeeks,
             [](const Call& c) {
                 return !c.booked && c.date >= QDate(2026, 11, 25) && c.date <= QDate(2026, 12, 7);
             }},
            {searched, [](const Call& c) {
                 return c.source == QStringLiteral("Радио") &&
                        c.service == QStringLiteral("Стрижка");
             }}};
        for (const Case& c : cases) {
            QVERIFY(model.setFilter(c.filter));
            const int want = expected(c.keep);
            QVERIFY(want > JournalModel::pageSize);
            QCOMPARE(readAll(model), want);
            checkOrder(model);
            for (int r = 0; r < model.rowCount(); ++r)
                QVERIFY(c.keep(model.record(r).call));
        }
    }

    void theTextsNameTheCalls()
    {
        QCOMPARE(JournalText::calls(1), QStringLiteral("1 звонок"));
        QCOMPARE(JournalText::calls(3), QStringLiteral("3 звонка"));
        QCOMPARE(JournalText::calls(11), QStringLiteral("11 звонков"));
        QCOMPARE(JournalText::calls(112), QStringLiteral("112 звонков"));
        QCOMPARE(JournalText::calls(21), QStringLiteral("21 звонок"));
        QCOMPARE(JournalText::today(22, 5), QStringLiteral("Сегодня: 22 звонка, 5 записей"));

        const CallRecord one{7,
                             Call{QDate(2026, 12, 5), QStringLiteral("Стрижка"),
                                  QStringLiteral("Газета"), true, QTime(10, 15, 3)},
                             {}};
        QCOMPARE(JournalText::deleteQuestion({one}),
                 QStringLiteral("Удалить звонок 05.12.2026 10:15:03, Стрижка, Газета?"));
        QVector<CallRecord> many;
        for (int i = 0; i < 12; ++i)
            many << CallRecord{i + 1,
                               Call{QDate(2026, 11, 1 + i), QStringLiteral("Маникюр"),
                                    QStringLiteral("Радио"), false, QTime()},
                               {}};
        const QStringList lines = JournalText::deleteQuestion(many, 10).split('\n');
        QCOMPARE(lines.first(), QStringLiteral("Удалить 12 звонков?"));
        QCOMPARE(lines.at(2), QStringLiteral("01.11.2026, Маникюр, Радио")); // no time stored
        QCOMPARE(lines.at(11), QStringLiteral("10.11.2026, Маникюр, Радио"));
        QCOMPARE(lines.last(), QStringLiteral("и ещё 2 звонка"));

        Call changed = one.call;
        changed.source = QStringLiteral("Радио");
        changed.booked = false;
        QCOMPARE(JournalText::editQuestion(one.call, changed),
                 QStringLiteral("Изменить звонок 05.12.2026 10:15:03, Стрижка, Газета?\n\n"
                                "Источник: Газета → Радио\nЗапись: Да → Нет"));

        CallChange edit{1, {}, {}, 7, CallChange::Kind::Edited, one, {7, changed, {}}};
        QCOMPARE(ChangeLogModel::valuesText(edit, ChangeLogModel::Before),
                 QStringLiteral("Газета, запись: Да"));
        QCOMPARE(ChangeLogModel::valuesText(edit, ChangeLogModel::After),
                 QStringLiteral("Радио, запись: Нет"));
    }

    void anEditTakesOnlyListedNames()
    {
        CallEdit edit = CallEdit::fromLists(m_env.get());
        QVERIFY(edit.sources().contains(QStringLiteral("Интернет")));
        Call call{QDate(2026, 12, 1), QStringLiteral("  стрижка "), QStringLiteral("ИНТЕРНЕТ"),
                  false, QTime(9, 0)};
        QVERIFY2(edit.check(call), qPrintable(edit.errorText()));
        QCOMPARE(call.service, QStringLiteral("Стрижка")); // the listed spelling
        QCOMPARE(call.source, QStringLiteral("Интернет"));

        Call empty = call;
        empty.service = QStringLiteral("   ");
        QVERIFY(!edit.check(empty));
        QCOMPARE(edit.errorText(), QStringLiteral("Выберите услугу."));
        Call unlisted = call;
        unlisted.source = QStringLiteral("Телевизор");
        QVERIFY(!edit.check(unlisted));
        QVERIFY(edit.errorText().contains(QStringLiteral("«Телевизор»")));
        Call undated = call;
        undated.date = QDate();
        QVERIFY(!edit.check(undated));

        // The dialog keeps an untimed call untimed and refuses an empty service.
        TestSupport::MessageRecorder boxes;
        CallRecord untimed{1,
                           Call{QDate(2026, 12, 2), QStringLiteral("Маникюр"),
                                QStringLiteral("Газета"), false, QTime()},
                           {}};
        CallEditDialog dialog(untimed, edit);
        dialog.bookedBox()->setChecked(true);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.changed().time.isValid());
        QVERIFY(dialog.changed().booked);
        CallEditDialog refusing(untimed, edit);
        refusing.serviceBox()->setCurrentIndex(-1);
        refusing.accept();
        QCOMPARE(refusing.result(), int(QDialog::Rejected));
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown().first().text, QStringLiteral("Выберите услугу."));
    }

    // On a server that cannot be reached, the calls kept at this desk are listed, newest first
    // and marked, filtered as the others; a deletion and an edit change the desk's file.
    void keptCallsAreListedAndChangedAtTheDesk()
    {
        const QString location = QStringLiteral("postgresql://kalvent@127.0.0.1:1/away");
        KeptCalls kept(location, AppPaths::deskId());
        QVERIFY(kept.keep(Call{QDate(2026, 12, 8), QStringLiteral("Стрижка"),
                               QStringLiteral("Газета"), false, QTime(10, 0)}));
        QVERIFY(kept.keep(Call{QDate(2026, 12, 9), QStringLiteral("Маникюр"),
                               QStringLiteral("Радио"), true, QTime(11, 0)}));
        DataEnv env(location);
        TestSupport::MessageRecorder boxes;
        JournalWindow window(&env);
        JournalModel* model = window.model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->record(0).call.service, QStringLiteral("Маникюр"));
        QVERIFY(CallRegister::isKept(model->record(0)) && CallRegister::isKept(model->record(1)));
        QCOMPARE(model->index(0, JournalModel::Desk).data().toString(),
                 QStringLiteral("ожидает передачи на сервер"));
        QVERIFY(model->index(0, JournalModel::Service).data(Qt::FontRole).value<QFont>().italic());
        QCOMPARE(window.findChild<QLabel*>("waiting")->text(),
                 QStringLiteral("2 звонка ожидают передачи на сервер"));
        if (const QString folder = qEnvironmentVariable("KALVENT_SCREENS_DIR"); !folder.isEmpty()) {
            window.show();
            QVERIFY(window.grab().save(QDir(folder).filePath("journal-kept.png")));
        }

        window.searchField()->setText(QStringLiteral("стриж"));
        QVERIFY(TestSupport::fire(window.findChild<QTimer*>("searchDelay")));
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->record(0).call.source, QStringLiteral("Газета"));
        window.searchField()->clear();
        QVERIFY(TestSupport::fire(window.findChild<QTimer*>("searchDelay")));
        QCOMPARE(model->rowCount(), 2);

        window.table()->selectRow(0);
        boxes.answer(QMessageBox::Ok);
        window.deleteSelected();
        QCOMPARE(kept.count(), 1);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->record(0).call.service, QStringLiteral("Стрижка"));

        CallRegister calls(&env);
        Call changed = model->record(0).call;
        changed.booked = true;
        QVERIFY2(calls.editKept(model->record(0).id, changed), qPrintable(calls.errorText()));
        window.refresh();
        QVERIFY(model->record(0).call.booked);
        QVector<KeptCalls::Kept> left;
        QVERIFY(kept.waiting(&left) && left.size() == 1 && left.first().call.booked);
    }

    void theWindowDeletesEditsUndoesAndFollowsChanges()
    {
        TestSupport::MessageRecorder boxes;
        JournalWindow window(m_env.get());
        QVERIFY(!window.isModal());
        QCOMPARE(window.model()->rowCount(), JournalModel::pageSize);
        const int today = expected([](const Call& c) { return c.date == QDate(2026, 12, 9); });
        const int bookedToday =
            expected([](const Call& c) { return c.date == QDate(2026, 12, 9) && c.booked; });
        QCOMPARE(window.todayLabel()->text(), JournalText::today(today, bookedToday));

        // An add elsewhere in the program shows at once, and counts today.
        QVERIFY(m_env->calls().add(Call{QDate(2026, 12, 9), QStringLiteral("Маникюр"),
                                        QStringLiteral("Радио"), true, QTime(12, 0)}));
        const qint64 added = m_env->calls().lastAddedId();
        QCoreApplication::processEvents(); // the window reads again once the add has ended
        QCOMPARE(window.model()->record(0).id, added);
        QCOMPARE(window.todayLabel()->text(), JournalText::today(today + 1, bookedToday + 1));

        // Delete two calls: the question names both; then undo puts them back.
        window.table()->selectRow(0);
        window.table()->selectionModel()->select(
            window.model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QVector<CallRecord> chosen = window.selected();
        QCOMPARE(chosen.size(), 2);
        boxes.answer(QMessageBox::Ok);
        window.deleteSelected();
        QCoreApplication::processEvents();
        QCOMPARE(boxes.shown().size(), 1);
        for (const CallRecord& record : chosen)
            QVERIFY(boxes.shown().first().text.contains(JournalText::call(record.call)));
        QVERIFY(!m_env->journal().find(chosen.first().id));
        QVERIFY(window.model()->rowOf(chosen.first().id) < 0);
        QVERIFY(window.undoButton()->isEnabled());
        QCOMPARE(window.undoButton()->text(), m_env->calls().undoText());
        QVERIFY(window.undoButton()->text().startsWith(QStringLiteral("Отменить удаление")));
        window.undo();
        QCoreApplication::processEvents();
        QVERIFY(m_env->journal().find(chosen.first().id));
        QCOMPARE(window.model()->record(0).id, added);

        // Cancelled: nothing goes.
        boxes.clear();
        boxes.answer(QMessageBox::Cancel);
        window.table()->selectRow(0);
        window.deleteSelected();
        QVERIFY(m_env->journal().find(added));

        // A search narrows the rows; the change log shows an edit made meanwhile.
        Call edited = m_env->journal().find(added)->call;
        edited.source = QStringLiteral("Газета");
        QVERIFY(m_env->calls().edit(added, edited));
        QCoreApplication::processEvents();
        QCOMPARE(window.model()->record(0).call.source, QStringLiteral("Газета"));
        ChangeLogDialog log(m_env->journal(), added, JournalText::call(edited), &window);
        // Deleted with the other, put back by the undo, then edited: newest first.
        QStringList kinds;
        for (int r = 0; r < log.model()->rowCount(); ++r)
            kinds << log.model()->index(r, ChangeLogModel::Kind).data().toString();
        QCOMPARE(kinds, QStringList({QStringLiteral("Изменён"), QStringLiteral("Восстановлен"),
                                     QStringLiteral("Удалён")}));
        QCOMPARE(log.model()->index(0, ChangeLogModel::Before).data().toString(),
                 QStringLiteral("Радио"));
        QCOMPARE(log.model()->index(0, ChangeLogModel::After).data().toString(),
                 QStringLiteral("Газета"));
        QCOMPARE(log.model()->index(2, ChangeLogModel::Before).data().toString(),
                 QStringLiteral("09.12.2026 12:00:00, Маникюр, Радио"));
        window.searchField()->setText(QStringLiteral("маник"));
        QVERIFY(TestSupport::fire(window.findChild<QTimer*>("searchDelay")));
        QVERIFY(window.model()->rowCount() > 0);
        for (int r = 0; r < window.model()->rowCount(); ++r)
            QCOMPARE(window.model()->record(r).call.service, QStringLiteral("Маникюр"));
    }
};

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
