// The signature index the window uses: the default one, an SQLite file of
// the user's, or a PostgreSQL server that several machines share. Chosen in
// the Edit menu and kept between sessions; the window's searches, duplicates
// and file operations all use it.
#pragma once

#include <QString>

#include "index/index_location.h"

// As the user named it: empty for the default index.
QString windowIndexName();
IndexChoice windowIndexChoice();
// The name as messages show it: a server's password left out.
QString windowIndexShown();

// Asks for the index by name ("default", a file, or a connection string)
// and keeps it once it opens; an index that does not open is named with its
// cause and the setting stays. True when the setting changed.
bool askWindowIndex();
