#include "DataEnv.h"
#include "GrafFrm.h"
#include "Logo.h"
#include "MainFrm.h"
#include "Param.h"
#include "ReportControl.h"
#include "ReportLayout.h"
#include "ReportLayouts.h"
#include "ReportSection.h"
#include "SettingsStore.h"
#include "TestSupport.h"
#include "Twips.h"
#include "frmSets.h"
#include "slFrm.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QSet>
#include <QTemporaryDir>

namespace {

// One control of a fixed layout, in twips. A window's own row (no widget) holds its client
// area and caption; a report section's row its height; a report control's text is its caption
// or the field it prints.
struct Placed
{
    const char* window;
    const char* widget;
    int x, y, width, height;
    const char* text;
};

// clang-format off
const Placed fixedLayouts[] = {
    {"MainFrm", "", 0, 0, 6630, 2295, "Kalvent"},
    {"MainFrm", "Label4", 840, 120, 975, 255, "Дата"},
    {"MainFrm", "Data", 2040, 120, 1455, 300, ""},
    {"MainFrm", "Label2", 120, 600, 1815, 255, "Интересующая услуга"},
    {"MainFrm", "Usluga", 2040, 600, 2655, 315, ""},
    {"MainFrm", "Label3", 120, 960, 1815, 255, "Источник рекламы"},
    {"MainFrm", "Istochnik", 2040, 960, 2655, 315, ""},
    {"MainFrm", "Zapis", 2040, 1440, 1695, 255, "Запись на услугу"},
    {"MainFrm", "Command1", 4920, 1320, 1575, 375, "Добавить"},
    {"MainFrm", "Command3", 4920, 1800, 1095, 375, "Command3"},
    {"MainFrm", "Stat", 120, 2040, 4575, 255, "Ожидание"},
    {"MainFrm", "Time1", 4800, 0, 1695, 375, ""},

    {"frmSets", "", 0, 0, 6570, 6000, "Настройки"},
    {"frmSets", "servicesFrame", 120, 0, 6375, 2895, "Услуги"},
    {"frmSets", "UslugiList", 120, 240, 5175, 2400, ""},
    {"frmSets", "addUsl", 5520, 1680, 495, 375, "+"},
    {"frmSets", "delUsl", 5520, 2160, 495, 375, "-"},
    {"frmSets", "sourcesFrame", 120, 3000, 6375, 2895, "Источники рекламы"},
    {"frmSets", "IstList", 120, 240, 5175, 2400, ""},
    {"frmSets", "AddIst", 5520, 1680, 495, 375, "+"},
    {"frmSets", "Command1", 5520, 2160, 495, 375, "-"},

    {"Param", "", 0, 0, 4110, 2040, "Параметры отчета"},
    {"Param", "Label1", 240, 120, 2775, 255, "Введите отчетный период"},
    {"Param", "Label2", 240, 600, 975, 255, "С"},
    {"Param", "Data1", 1320, 600, 1575, 315, ""},
    {"Param", "Label3", 240, 960, 975, 255, "По"},
    {"Param", "Data2", 1320, 960, 1575, 315, ""},
    {"Param", "Ok", 1440, 1440, 1335, 375, "&ОК"},

    {"GrafFrm", "", 0, 0, 7035, 4845, "Диаграммы"},
    {"GrafFrm", "MSChart1", 480, 240, 4815, 3855, ""},

    {"slFrm", "", 0, 0, 6435, 3180, "Служебные настройки"},
    {"slFrm", "Label1", 240, 240, 2415, 255, "Отправлять отчеты каждые"},
    {"slFrm", "Days", 2760, 160, 615, 285, ""},
    {"slFrm", "Label2", 3480, 240, 495, 255, "(дней)"},
    {"slFrm", "Label5", 240, 600, 2415, 255, "Время отправки"},
    {"slFrm", "Times", 2760, 520, 1575, 300, ""},
    {"slFrm", "Label3", 360, 960, 2295, 255, "Тема письма"},
    {"slFrm", "tems", 2760, 960, 3495, 285, ""},
    {"slFrm", "Label4", 360, 1320, 2295, 255, "Отправлять на адрес"},
    {"slFrm", "senders", 2760, 1320, 3495, 285, ""},
    {"slFrm", "btSend", 2760, 1800, 1695, 375, "Отправить отчеты"},
    {"slFrm", "ok_but", 2760, 2640, 1695, 375, "&OK"},
    {"slFrm", "NextDate", 4320, 120, 1215, 255, ""},

    {"Logo", "", 0, 0, 5895, 2535, "Kalvent"},
    {"Logo", "Image1", 120, 360, 480, 480, ""},
    {"Logo", "Label1", 840, 480, 2055, 375, "Kalvent"},
    {"Logo", "Label2", 840, 1080, 4095, 255, "Программа для анализа эффективности рекламмы"},
    {"Logo", "Label5", 3240, 1800, 855, 255, "Версия 1.0"},

    {"RepkolVo", "", 0, 0, 8670, 7425, "Отчет по кол-ву звонков из разных источников"},
    {"RepkolVo", "Section4", 0, 0, 0, 1125, ""},
    {"RepkolVo", "Section4.Label1", 0, 0, 6510, 405, "Отчет по кол-ву звонков из разных источников"},
    {"RepkolVo", "Section4.data", 0, 435, 3945, 240, "Data"},
    {"RepkolVo", "Section2", 0, 0, 0, 330, ""},
    {"RepkolVo", "Section2.Label3", 0, 0, 1815, 195, "Название источника"},
    {"RepkolVo", "Section2.Label4", 3450, 0, 1395, 195, "Кол-во звонков"},
    {"RepkolVo", "Section2.Label5", 5700, 0, 1845, 195, "Кол-во записи"},
    {"RepkolVo", "Section1", 0, 0, 0, 405, ""},
    {"RepkolVo", "Section1.Text1", 0, 0, 3225, 225, "IName"},
    {"RepkolVo", "Section1.Text2", 3450, 0, 1260, 240, "Zvonkov"},
    {"RepkolVo", "Section1.Text3", 5685, 0, 1560, 225, "zapis"},
    {"RepkolVo", "Section3", 0, 0, 0, 0, ""},
    {"RepkolVo", "Section5", 0, 0, 0, 465, ""},
    {"RepkolVo", "Section5.Label2", 1995, 0, 1320, 195, "Итого:"},
    {"RepkolVo", "Section5.Function1", 3450, 0, 1455, 210, "Zvonkov"},
    {"RepkolVo", "Section5.Function2", 5685, 0, 1590, 210, "zapis"},

    {"ReportKvUsl", "", 0, 0, 8445, 5370, "Отчет по кол-ву звонков в зависимости от услуги"},
    {"ReportKvUsl", "Section4", 0, 0, 0, 1155, ""},
    {"ReportKvUsl", "Section4.Label1", 0, 0, 6960, 405, "Отчет по кол-ву звонков (по услуге)"},
    {"ReportKvUsl", "Section4.data", 0, 454, 3945, 240, "Data"},
    {"ReportKvUsl", "Section2", 0, 0, 0, 345, ""},
    {"ReportKvUsl", "Section2.Label3", 0, 0, 1815, 195, "Название услуги"},
    {"ReportKvUsl", "Section2.Label4", 3572, 0, 1395, 195, "Кол-во звонков"},
    {"ReportKvUsl", "Section2.Label5", 5726, 0, 1474, 195, "Кол-во записи"},
    {"ReportKvUsl", "Section1", 0, 0, 0, 390, ""},
    {"ReportKvUsl", "Section1.Text1", 57, 0, 3288, 225, "Uname"},
    {"ReportKvUsl", "Section1.Text2", 3572, 0, 1185, 225, "Zvonkov"},
    {"ReportKvUsl", "Section1.Text3", 5726, 0, 1635, 225, "zapis"},
    {"ReportKvUsl", "Section3", 0, 0, 0, 0, ""},
    {"ReportKvUsl", "Section5", 0, 0, 0, 750, ""},
    {"ReportKvUsl", "Section5.Label2", 2041, 0, 1320, 195, "Итого:"},
    {"ReportKvUsl", "Section5.Function1", 3572, 0, 1455, 210, "Zvonkov"},
    {"ReportKvUsl", "Section5.Function2", 5726, 0, 1590, 210, "zapis"},

    {"ReportInternet", "", 0, 0, 8010, 5025, "Отчет по звонкам из интернета"},
    {"ReportInternet", "Section4", 0, 0, 0, 1155, ""},
    {"ReportInternet", "Section4.Label1", 0, 0, 6510, 405, "Отчет по звонкам из интернета"},
    {"ReportInternet", "Section4.data", 0, 510, 3945, 240, "Data"},
    {"ReportInternet", "Section2", 0, 0, 0, 330, ""},
    {"ReportInternet", "Section2.Label3", 0, 0, 1815, 195, "Название услуги"},
    {"ReportInternet", "Section2.Label4", 3515, 0, 1395, 195, "Кол-во звонков"},
    {"ReportInternet", "Section2.Label5", 5726, 0, 1395, 195, "Кол-во записи"},
    {"ReportInternet", "Section1", 0, 0, 0, 390, ""},
    {"ReportInternet", "Section1.Text1", 0, 0, 3165, 270, "Uname"},
    {"ReportInternet", "Section1.Text2", 3515, 0, 1200, 225, "Zvonkov"},
    {"ReportInternet", "Section1.Text3", 5726, 0, 840, 225, "zapis"},
    {"ReportInternet", "Section3", 0, 0, 0, 0, ""},
    {"ReportInternet", "Section5", 0, 0, 0, 645, ""},
    {"ReportInternet", "Section5.Label2", 2041, 0, 1320, 195, "Итого:"},
    {"ReportInternet", "Section5.Function1", 3515, 0, 1245, 225, "Zvonkov"},
    {"ReportInternet", "Section5.Function2", 5726, 0, 1125, 225, "zapis"},

    {"ReportDates", "", 0, 0, 7650, 4770, "Отчет по звонкам (по датам)"},
    {"ReportDates", "Section4", 0, 0, 0, 1125, ""},
    {"ReportDates", "Section4.Label1", 0, 0, 6510, 405, "Отчет по звонкам (по датам)"},
    {"ReportDates", "Section4.data", 0, 567, 3945, 240, "Data"},
    {"ReportDates", "Section2", 0, 0, 0, 375, ""},
    {"ReportDates", "Section2.Label2", 0, 0, 1395, 195, "Дата"},
    {"ReportDates", "Section2.Label4", 3450, 0, 1395, 195, "Кол-во звонков"},
    {"ReportDates", "Section2.Label5", 5700, 0, 1395, 195, "Кол-во записи"},
    {"ReportDates", "Section1", 0, 0, 0, 360, ""},
    {"ReportDates", "Section1.Text2", 0, 0, 795, 225, "Data"},
    {"ReportDates", "Section1.Text1", 3458, 0, 1470, 225, "Vsego"},
    {"ReportDates", "Section1.Text3", 5726, 0, 1185, 165, "Zapis"},
    {"ReportDates", "Section3", 0, 0, 0, 0, ""},
    {"ReportDates", "Section5", 0, 0, 0, 630, ""},
    {"ReportDates", "Section5.Label3", 2154, 0, 1200, 225, "Всего:"},
    {"ReportDates", "Section5.Function1", 3458, 0, 1350, 225, "Vsego"},
    {"ReportDates", "Section5.Function2", 5726, 0, 1185, 225, "Zapis"},
};
// clang-format on

// The text a widget shows of its own; null for one whose content is data.
QString shownText(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget))
        return frame->title();
    return {};
}

} // namespace

// Every window and report layout against the fixed table of its controls' places and texts.
class TestFixedLayouts : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QMap<QString, QWidget*> m_windows;
    std::vector<std::unique_ptr<QWidget>> m_owned;

    void keep(const QString& name, std::unique_ptr<QWidget> window)
    {
        m_windows.insert(name, window.get());
        m_owned.push_back(std::move(window));
    }

    // The window's client area: the central widget of a main window.
    static const QWidget* client(const QWidget* window)
    {
        const QWidget* central = window->findChild<QWidget*>("client");
        return central ? central : window;
    }

    void checkWidget(const QString& window, const QString& widget, const QRect& twips,
                     const QString& text)
    {
        const QWidget* top = m_windows.value(window);
        QVERIFY(top);
        if (widget.isEmpty()) {
            QCOMPARE(client(top)->size(), Twips::size(twips.width(), twips.height()));
            QCOMPARE(top->windowTitle(), text);
            return;
        }
        const QWidget* control = top->findChild<QWidget*>(widget);
        QVERIFY(control);
        QCOMPARE(control->geometry(),
                 Twips::rect(twips.x(), twips.y(), twips.width(), twips.height()));
        const QString shown = shownText(control);
        QCOMPARE(shown.isNull() ? QString() : shown, text);
        // The whole text fits its place.
        QVERIFY(control->fontMetrics().horizontalAdvance(QString(shown).remove('&')) <=
                control->width());
    }

    static void checkReport(const QString& name, const QString& item, const QRect& twips,
                            const QString& text)
    {
        const ReportLayout* layout = ReportLayouts::get(name);
        QVERIFY(layout);
        if (item.isEmpty()) {
            QCOMPARE(layout->previewClientSize(), twips.size());
            QCOMPARE(layout->windowCaption(), text);
            return;
        }
        const ReportSection* section = layout->section(item.section('.', 0, 0));
        QVERIFY(section);
        if (!item.contains('.')) {
            QCOMPARE(section->height(), twips.height());
            return;
        }
        const ReportControl* control = section->control(item.section('.', 1));
        QVERIFY(control);
        QCOMPARE(control->rect(), twips);
        QCOMPARE(control->kind() == ReportControl::Kind::Label ? control->caption()
                                                               : control->field(),
                 text);
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        QFont font("Arial"); // the program's font
        font.setPointSizeF(8.25);
        QApplication::setFont(font);
        auto* env = new DataEnv(m_dir.filePath("layouts.db"));
        DataEnv::setInstance(env);
        QVERIFY(env->connect());
        const QStringList keys{"days", "times", "tems", "senders", "nextdate"};
        const QStringList values{"7", "09:00:00", QStringLiteral("Реклама"), "boss@example.com",
                                 "2031-01-01"};
        for (int i = 0; i < keys.size(); ++i)
            QVERIFY(SettingsStore().write(keys[i], values[i]));

        keep("MainFrm", std::make_unique<MainFrm>());
        keep("frmSets", std::make_unique<frmSets>());
        keep("Param", std::make_unique<Param>([] { return 1; }, env));
        keep("GrafFrm", std::make_unique<GrafFrm>(env, std::nullopt));
        m_windows.insert("slFrm", slFrm::instance());
        Logo::setTickInterval(TestSupport::neverFires);
        m_windows.insert("Logo", Logo::showSplash());
    }

    void cleanupTestCase()
    {
        Logo::current()->close();
        slFrm::release();
        m_owned.clear();
        DataEnv::setInstance(nullptr);
    }

    void placesAndTexts_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("text");
        for (const Placed& row : fixedLayouts)
            QTest::addRow("%s %s", row.window, row.widget)
                << QString(row.window) << QString(row.widget)
                << QRect(row.x, row.y, row.width, row.height) << QString::fromUtf8(row.text);
    }
    void placesAndTexts()
    {
        QFETCH(QString, window);
        QFETCH(QString, widget);
        QFETCH(QRect, twips);
        QFETCH(QString, text);
        if (ReportLayouts::get(window))
            checkReport(window, widget, twips, text);
        else
            checkWidget(window, widget, twips, text);
    }

    // No report control is left out of the table.
    void everyReportControlIsListed()
    {
        QSet<QString> listed;
        for (const Placed& row : fixedLayouts)
            listed << QString(row.window) + '/' + row.widget;
        for (const QString& name : ReportLayouts::names()) {
            const ReportLayout* layout = ReportLayouts::get(name);
            QCOMPARE(layout->sections().size(), size_t(5));
            for (const auto& section : layout->sections())
                for (const auto& control : section->controls()) {
                    const QString key =
                        layout->name() + '/' + section->name() + '.' + control->name();
                    QVERIFY2(listed.contains(key), qPrintable(key));
                }
        }
    }
};

QTEST_MAIN(TestFixedLayouts)
#include "tst_fixedlayouts.moc"
