#pragma once

// Shared routines.

#include <QString>

class QWidget;

namespace Main {

// Centres the window on its screen.
void CenterWindow(QWidget& window);

// True when the path exists.
bool FileExists(const QString& path);

// The text after the last "/" of a path, or the whole path when it has none.
QString FileNameOf(const QString& path);

// Why a move was refused or failed; empty when it succeeded.
struct MoveResult {
    bool moved = false;
    QString reason;
};

// Moves a file by copying it and deleting the source, never losing it: it
// refuses an existing target, a target equal to the source (also by letter
// case), and a name with a path separator or NUL; it copies to a temporary
// file in the same folder, flushes it, moves it into place without replacing
// anything and deletes the source only then.
MoveResult MoveByCopy(const QString& source, const QString& target);

} // namespace Main
