#pragma once

#include <QString>

// The call register, the reports and the settings are the business's private data: only the
// user who runs the program may read them.
namespace PrivateFiles {

// From now on every file this process creates is readable by its owner only (0600, folders
// 0700). Called first thing by both programs.
void restrictNewFiles();

// Takes away what others may do with the program's folders and files that already exist: the
// data and configuration folders and everything below them, and the database wherever it is.
void tighten();

// The same for a database file named for this run (and its journal files), when it is the
// user's own; a server location is left alone.
void tightenDatabase(const QString& path);

} // namespace PrivateFiles
