#pragma once
#include "util/Prompts.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace dorv {

// The prompts as real windows: message boxes, input boxes and the standard file dialogs.
class QtPrompts final : public Prompts {
public:
    explicit QtPrompts(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }

    void inform(const QString& text) override;
    void error(const QString& text) override;
    bool confirm(const QString& text) override;
    Answer confirmOrCancel(const QString& text) override;
    bool warn(const QString& text) override;
    bool inputText(const QString& title, const QString& prompt, QString* value) override;
    QString openFile(QWidget* parent, const QString& title, const QString& filter) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& filter,
                     const QString& defaultSuffix) override;
    int runModal(QDialog* dialog) override;

    // Where the file dialogs open: the current data file's folder, else the home folder.
    std::function<QString()> startFolder;

private:
    QString folder() const;
    QPointer<QWidget> m_owner;
};

} // namespace dorv
