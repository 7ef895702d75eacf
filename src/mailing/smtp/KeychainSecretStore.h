#pragma once

#include "SecretStore.h"

// The desktop's secret store (the Secret Service of GNOME Keyring, KWallet) through QtKeychain.
// Without a session bus (cron, a server) it is unavailable and says so at once.
class KeychainSecretStore : public SecretStore
{
public:
    bool isAvailable(QString* why) override;
    bool write(const QString& key, const QString& secret, QString* error) override;
    bool read(const QString& key, QString* secret, QString* error) override;
    bool remove(const QString& key, QString* error) override;

private:
    int m_state = 0; // 0 not probed, 1 available, -1 unavailable
    QString m_why;
};
