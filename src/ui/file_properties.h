#pragma once
// A small window with what the file system knows of a file: its name,
// folder, size, type and dates. It stands in for the desktop's own
// property sheet, which Linux desktops do not offer to other programs.

#include <QString>

class QDialog;
class QWidget;

namespace kitemail {

// Opens the window, not modal; it deletes itself when closed.
QDialog* ShowFileProperties(QWidget* parent, const QString& path);

} // namespace kitemail
