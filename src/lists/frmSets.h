#pragma once

#include "ReferenceList.h"

#include <QDialog>

class QListView;

// The editor of the two reference lists: services above, advertising sources below.
class frmSets : public QDialog
{
    Q_OBJECT

public:
    explicit frmSets(QWidget* parent = nullptr);

    ReferenceList& services() { return m_services; }
    ReferenceList& sources() { return m_sources; }

private:
    QListView* buildFrame(const QString& caption, int top, const char* frameName,
                          const char* listName, ReferenceList& list, const char* addName,
                          const char* deleteName);
    // An operator's view: the lists shown, their buttons disabled, with a note why.
    void showReadOnly();

    ReferenceList m_services;
    ReferenceList m_sources;
    bool m_readOnly = false;
};
