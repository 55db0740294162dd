#include "QtPrompts.h"

#include "WindowPlacement.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace dorv {

namespace {
QString appTitle() { return QApplication::applicationDisplayName(); }
} // namespace

QString QtPrompts::folder() const
{
    // Never the process's current folder, which means nothing to the user.
    const QString f = startFolder ? startFolder() : QString();
    return f.isEmpty() ? QDir::homePath() : f;
}

void QtPrompts::inform(const QString& text) { QMessageBox::information(m_owner, appTitle(), text); }

void QtPrompts::error(const QString& text) { QMessageBox::critical(m_owner, appTitle(), text); }

bool QtPrompts::confirm(const QString& text)
{
    return QMessageBox::question(m_owner, appTitle(), text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

Prompts::Answer QtPrompts::confirmOrCancel(const QString& text)
{
    switch (
        QMessageBox::question(m_owner, appTitle(), text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

bool QtPrompts::warn(const QString& text)
{
    return QMessageBox::warning(m_owner, appTitle(), text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

bool QtPrompts::inputText(const QString& title, const QString& prompt, QString* value)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(m_owner, title, prompt, QLineEdit::Normal, *value, &ok);
    if (ok)
        *value = answer;
    return ok;
}

QString QtPrompts::openFile(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent ? parent : m_owner.data(), title, folder(), filter);
}

QString QtPrompts::saveFile(QWidget* parent, const QString& title, const QString& filter, const QString& defaultSuffix)
{
    QFileDialog dialog(parent ? parent : m_owner.data(), title, folder(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

int QtPrompts::runModal(QDialog* dialog)
{
    // A window larger than a small screen (or one at double density) is shrunk and moved in, so
    // that its buttons and title bar can always be reached.
    QTimer::singleShot(0, dialog, [dialog] {
        const QScreen* screen = dialog->screen();
        if (!screen || !dialog->isVisible())
            return;
        const QMargins frame = dialog->windowHandle() ? dialog->windowHandle()->frameMargins() : QMargins();
        const QRect outer = QRect(dialog->frameGeometry().topLeft(), dialog->size().grownBy(frame));
        const QRect fitted = fitFrameIntoArea(outer, screen->availableGeometry());
        if (fitted != outer) {
            dialog->resize(fitted.size().shrunkBy(frame));
            dialog->move(fitted.topLeft());
        }
    });
    return dialog->exec();
}

} // namespace dorv
