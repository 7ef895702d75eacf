#pragma once

class CliRunner;

// "server init": creates the tables of a server database, when missing, and sets the owner's
// and the operators' rights on it (see ServerRoles).
class ServerCommands
{
public:
    static void addTo(CliRunner& runner);
};
