// Before a conversion writes: a save folder that does not exist yet, and
// outputs that an earlier conversion left there. What the forms ask the user
// about, without their widgets.
#pragma once

#include <QString>
#include <vector>

#include "imageio/listing.h"

// A save folder typed that does not exist (an empty field is no folder to
// create).
bool IsMissingSaveDir(const QString& saveDir);

// What the user chose for outputs that exist already.
enum class ExistingOutputs { Replace, Skip, Cancel };

// The items whose output (saveDir/<name minus 3>extension) exists already.
std::vector<ListedImage> ItemsWithOutputs(const std::vector<ListedImage>& items,
                                          const QString& saveDir, const char* extension);

// items as the choice leaves them: all for Replace, those without an output
// for Skip, none for Cancel.
std::vector<ListedImage> ApplyExistingChoice(std::vector<ListedImage> items, const QString& saveDir,
                                             const char* extension, ExistingOutputs choice);

// The name of a listed file as it is spelled on disk (the listing keeps it
// in lower case for comparisons).
QString SpelledName(const ListedImage& item);
