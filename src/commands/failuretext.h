#pragma once

#include "lang/boxtext.h"
#include "storage/storagefailure.h"

#include <QString>
#include <optional>

class UserInteraction;

// What the user reads of a failure the storage reports, in the active
// language: the catalogue's words and the path it concerns (the files that
// could not be saved as the box's list).
BoxText failureText(const StorageFailure &failure);

// Shows it in the box its kind calls for: an error box for a file that could
// not be read or created, a plain box for everything else.
void showFailure(UserInteraction &ui, const StorageFailure &failure);
// Nothing shown when nothing failed.
void showFailure(UserInteraction &ui, const std::optional<StorageFailure> &failure);
