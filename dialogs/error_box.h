// The program-wide error box: the message of an error that no handler deals with.
#pragma once

#include <QString>

class QWidget;

namespace picbatch {

// The program file's name without its folder, cut before its first ".", every character
// after the first in lower case ("picbatch" for /usr/bin/picbatch).
QString ApplicationTitle();

// message with a full stop appended when its last character sorts after ".".
QString ErrorBoxText(const QString& message);

// A modal message box with the critical icon, ApplicationTitle() as caption and
// ErrorBoxText(message) as text.
void ShowErrorBox(QWidget* parent, const QString& message);

// ApplicationTitle() for a given program file path.
QString ApplicationTitleFor(const QString& programPath);

}  // namespace picbatch
