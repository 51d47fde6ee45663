// Where the window starts when no path is given: the folder of the last
// session, else the user's pictures folder, else the home folder.
#pragma once

#include <QString>

// The first of last, pictures and home that is an existing folder; home
// when none is.
QString ChooseStartFolder(const QString& last, const QString& pictures, const QString& home);

// ChooseStartFolder with the system's pictures and home folders.
QString StartFolder(const QString& last);
