#include "BenchCalls.h"

BenchCalls::BenchCalls(qint64 count, const QDate& first, const QDate& last)
    : m_count(count), m_first(first), m_days(first.daysTo(last) + 1), m_random(20261206)
{
}

bool BenchCalls::next(BenchCall& call)
{
    if (m_made >= m_count)
        return false;
    call.date = m_first.addDays(m_made * m_days / m_count);
    call.service = int(m_random.bounded(services().size()));
    call.source = int(m_random.bounded(sources().size()));
    call.booked = m_random.bounded(3) == 0;
    const int hour = 9 + int(m_random.bounded(10));
    const int minute = int(m_random.bounded(60));
    call.time = QTime(hour, minute, int(m_random.bounded(60)));
    ++m_made;
    return true;
}

const QStringList& BenchCalls::services()
{
    static const QStringList names{"Стрижка",
                                   "Стрижка детская",
                                   "Окрашивание",
                                   "Мелирование",
                                   "Тонирование",
                                   "Укладка",
                                   "Причёска",
                                   "Химическая завивка",
                                   "Ламинирование",
                                   "Кератин",
                                   "Маникюр",
                                   "Педикюр",
                                   "Покрытие гелем",
                                   "Наращивание",
                                   "Дизайн ногтей",
                                   "Массаж",
                                   "Массаж спины",
                                   "Антицеллюлит",
                                   "Обёртывание",
                                   "Чистка лица",
                                   "Пилинг",
                                   "Маска",
                                   "Макияж",
                                   "Свадебный макияж",
                                   "Брови",
                                   "Ресницы",
                                   "Эпиляция",
                                   "Шугаринг",
                                   "Солярий",
                                   "Спа",
                                   "Сауна",
                                   "Бассейн",
                                   "Йога",
                                   "Фитнес",
                                   "Консультация",
                                   "Абонемент",
                                   "Подарочный сертификат",
                                   "Стрижка бороды",
                                   "Бритьё",
                                   "Тату"};
    return names;
}

const QStringList& BenchCalls::sources()
{
    static const QStringList names{
        "Интернет", "Газета",     "Радио",           "Листовка",          "Знакомые",  "Вывеска",
        "ТВ",       "Журнал",     "Баннер",          "Реклама в лифте",   "Остановка", "Метро",
        "Буклет",   "Выставка",   "Соцсети",         "Поисковик",         "Карты",     "Отзывы",
        "Купон",    "Рассылка",   "Сарафан",         "Постоянный клиент", "Партнёр",   "Визитка",
        "Билборд",  "Справочник", "Телефонная база", "Промоакция",        "Блогер",    "Другое"};
    return names;
}
