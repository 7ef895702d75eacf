#pragma once

#include <QString>

// A place for secrets that is not a file: the desktop's secret store. Tests put a store of
// their own in place of the system's.
class SecretStore
{
public:
    virtual ~SecretStore() = default;

    // Whether the store can be used at all; when not, why (in words for the operator).
    virtual bool isAvailable(QString* why) = 0;
    virtual bool write(const QString& key, const QString& secret, QString* error) = 0;
    // A missing entry is an error too.
    virtual bool read(const QString& key, QString* secret, QString* error) = 0;
    // Removing a missing entry succeeds.
    virtual bool remove(const QString& key, QString* error) = 0;

    // The desktop's store (through QtKeychain) unless a test has put another in its place.
    static SecretStore& system();
    // nullptr puts the desktop's store back.
    static void setSystem(SecretStore* store);

private:
    static SecretStore* s_replacement;
};
