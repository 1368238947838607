#include "Dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace Dialogs {

namespace {
Answerer &answererSlot()
{
    static Answerer answerer;
    return answerer;
}

bool answered(const Request &request, Answer *answer)
{
    const Answerer &answerer = answererSlot();
    if (!answerer)
        return false;
    *answer = answerer(request);
    return !answer->shown;
}
} // namespace

void setAnswerer(Answerer answerer)
{
    answererSlot() = std::move(answerer);
}

void warning(const QString &title, const QString &text)
{
    Answer answer;
    if (!answered({Kind::Warning, title, text, QString()}, &answer))
        QMessageBox::warning(nullptr, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

void information(const QString &title, const QString &text)
{
    Answer answer;
    if (!answered({Kind::Information, title, text, QString()}, &answer))
        QMessageBox::information(nullptr, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

bool confirm(const QString &title, const QString &text)
{
    Answer answer;
    if (answered({Kind::Confirm, title, text, QString()}, &answer))
        return answer.yes;
    return QMessageBox::warning(
               nullptr, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
        == QMessageBox::Yes;
}

bool withTextSuffix(QString *path)
{
    if (QFileInfo(*path).fileName().contains(QLatin1Char('.')))
        return true;
    *path += QStringLiteral(".txt");
    return !QFileInfo::exists(*path)
        || confirm(QCoreApplication::translate("Panel", "Подтвердите замену"),
            QCoreApplication::translate("Panel", "Файл уже существует:\n%1\nЗаменить его?")
                .arg(*path));
}

void about(const QString &title, const QString &text)
{
    Answer answer;
    if (!answered({Kind::About, title, text, QString()}, &answer))
        QMessageBox::about(nullptr, title, text);
}

QString openFileName(
    QWidget *parent, const QString &caption, const QString &filter, const QString &directory)
{
    Answer answer;
    if (answered({Kind::OpenFile, caption, filter, directory}, &answer))
        return answer.fileName;
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QString saveFileName(QWidget *parent, const QString &caption, const QString &filter,
    const QString &directory, QString *selectedFilter)
{
    Answer answer;
    if (answered({Kind::SaveFile, caption, filter, directory}, &answer)) {
        if (selectedFilter)
            *selectedFilter = answer.filter.isEmpty() ? filter.section(QStringLiteral(";;"), 0, 0)
                                                      : answer.filter;
        return answer.fileName;
    }
    return QFileDialog::getSaveFileName(parent, caption, directory, filter, selectedFilter);
}

Changes askSaveChanges(QWidget *parent, const QString &title, const QString &text)
{
    Answer answer;
    if (answered({Kind::SaveChanges, title, text, QString()}, &answer))
        return answer.yes ? Changes::Save : answer.no ? Changes::Discard : Changes::Keep;
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QPushButton *save = box.addButton(QObject::tr("Сохранить"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(QObject::tr("Не сохранять"), QMessageBox::DestructiveRole);
    QPushButton *keep = box.addButton(QObject::tr("Отмена"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(keep);
    box.exec();
    return box.clickedButton() == save   ? Changes::Save
        : box.clickedButton() == discard ? Changes::Discard
                                         : Changes::Keep;
}

QString text(QWidget *parent, const QString &title, const QString &label, const QString &initial)
{
    Answer answer;
    if (answered({Kind::Text, title, label, initial}, &answer))
        return answer.fileName;
    return QInputDialog::getText(parent, title, label, QLineEdit::Normal, initial);
}

} // namespace Dialogs
