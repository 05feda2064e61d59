#pragma once
// A box that asks for one line of text, and its part of the dialogs' test seam: with the seam
// installed the answers come from a scripted queue and no box is shown.

#include <QString>
#include <QStringList>
#include <initializer_list>

class QWidget;

// value is the default; true (and the text in value) on OK.
bool InputQuery(const QString& caption, const QString& prompt, QString& value, QWidget* parent = nullptr);

// Answers for the next input boxes: the text typed and OK; a null string cancels (as an
// unscripted box does, which also counts as unexpected).
void AnswerInputQueries(std::initializer_list<QString> texts);
// Captions and default texts the boxes were shown with, in order; cleared with the seam.
QStringList InputQueryCaptions();
QStringList InputQueryDefaults();
void ClearInputQueries();
