#pragma once

#include "CallEdit.h"
#include "CallRecord.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QTimeEdit;

// "Изменение звонка": the date, the time, the service and the source from the lists, and the
// booking of one call. OK keeps the dialog open with a message while the call cannot be stored
// (CallEdit); the time of a call stored without one stays empty unless it is changed.
class CallEditDialog : public QDialog
{
    Q_OBJECT

public:
    CallEditDialog(const CallRecord& record, CallEdit edit, QWidget* parent = nullptr);

    // The call as the fields give it, checked (after OK).
    const Call& changed() const { return m_changed; }

    QDateEdit* dateEdit() const { return m_date; }
    QTimeEdit* timeEdit() const { return m_time; }
    QComboBox* serviceBox() const { return m_service; }
    QComboBox* sourceBox() const { return m_source; }
    QCheckBox* bookedBox() const { return m_booked; }

    void accept() override;

private:
    CallRecord m_record;
    CallEdit m_edit;
    Call m_changed;
    bool m_timeTouched = false;
    QDateEdit* m_date = nullptr;
    QTimeEdit* m_time = nullptr;
    QComboBox* m_service = nullptr;
    QComboBox* m_source = nullptr;
    QCheckBox* m_booked = nullptr;
};
