// The one seam between the program and its modal dialogs. Every message box
// and file dialog goes through here, so tests answer them without a person.
#ifndef DIALOGS_H
#define DIALOGS_H

#include <QString>

#include <functional>

class QWidget;

namespace Dialogs {

enum class Kind {
    Warning,     // QMessageBox::warning, one OK button, no parent
    Information, // QMessageBox::information, one OK button, no parent
    Confirm,     // warning box with Yes and No, Yes the default, no parent
    About,       // QMessageBox::about, no parent
    OpenFile,    // QFileDialog::getOpenFileName
    SaveFile,    // QFileDialog::getSaveFileName
    Text,        // QInputDialog::getText: a line of text
    SaveChanges // question with Сохранить, Не сохранять and Отмена, Сохранить the default
};

struct Request
{
    Kind kind;
    QString title;     // box title or dialog caption
    QString text;      // message text, or the name filters of a file dialog
    QString directory; // a file dialog's starting folder, or Text's starting text
};

struct Answer
{
    bool yes = false; // Confirm: Yes was chosen
    QString fileName; // OpenFile, SaveFile, Text (the text typed): empty when cancelled
    QString filter;   // SaveFile: the name filter chosen; empty: the first
    bool no = false; // SaveChanges: "Не сохранять" (yes: "Сохранить"; neither: "Отмена")
    bool shown = false; // the real dialog is shown after all, and answers
};

// Replaces the real dialogs by `answerer` (tests); an empty function restores them.
using Answerer = std::function<Answer(const Request &)>;
void setAnswerer(Answerer answerer);

void warning(const QString &title, const QString &text);
void information(const QString &title, const QString &text);
bool confirm(const QString &title, const QString &text);
// A saved file's name without a suffix gets ".txt", which the load dialogs' filters show;
// the save dialog asked about replacing the name as typed, so a file of the new name asks
// again. False when the user keeps that file.
bool withTextSuffix(QString *path);
void about(const QString &title, const QString &text);
QString openFileName(QWidget *parent, const QString &caption, const QString &filter,
    const QString &directory = QString());
// *selectedFilter, if given, receives the name filter the user chose.
QString saveFileName(QWidget *parent, const QString &caption, const QString &filter,
    const QString &directory = QString(), QString *selectedFilter = nullptr);
enum class Changes { Save, Discard, Keep };
// Asks what to do with unsaved changes before a window closes: Save, Discard
// (close without saving) or Keep (stay open).
Changes askSaveChanges(QWidget *parent, const QString &title, const QString &text);
// A line of text asked with `label`; empty when cancelled.
QString text(QWidget *parent, const QString &title, const QString &label,
    const QString &initial = QString());

} // namespace Dialogs

#endif // DIALOGS_H
