#pragma once

#include "DataStore.h"

// The claims of due dispatches by the desks sharing a database, so that one mail goes out.
class DispatchClaims : public DataStore
{
public:
    using DataStore::DataStore;

    // Claims the dispatch due at `due` to `recipient` for this desk. On a database shared by
    // several desks the claim is a row in the database: *mine is false when another desk holds
    // it. With one desk it is always this one's. False when the database could not be asked.
    bool claim(const QString& due, const QString& recipient, bool* mine);
};
