#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// Keeps one copy of the program per user: the first copy listens on a local socket; a later
// copy asks it to bring its window forward and then exits.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString& key = defaultKey(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the first copy (it now listens); false when another copy was asked
    // to come forward.
    bool claim();

    static QString defaultKey();

Q_SIGNALS:
    void activationRequested();

private:
    QString m_key;
    QLocalServer* m_server = nullptr;
};
