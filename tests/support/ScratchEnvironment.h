#pragma once
#include "app/DorvMain.h"
#include "support/ScriptedPrompts.h"

#include <QDir>
#include <QTemporaryDir>

// A main window's surroundings kept inside one scratch folder, with no splash and the questions
// answered by `prompts`: nothing of the user's real settings or files is touched.
inline dorv::MainEnvironment scratchEnvironment(const QTemporaryDir& root, ScriptedPrompts& prompts)
{
    dorv::MainEnvironment e;
    e.programFolder = root.filePath(QStringLiteral("prog"));
    e.tempFolder = root.filePath(QStringLiteral("tmp"));
    e.settingsFile = root.filePath(QStringLiteral("s.ini"));
    e.prompts = &prompts;
    e.splash = false;
    QDir().mkpath(e.programFolder);
    QDir().mkpath(e.tempFolder);
    return e;
}

// Saves the open data into a file and opens that file again, as a household's own data would be.
inline bool saveAndReopen(dorv::TFormMain& w, ScriptedPrompts& prompts, const QString& file)
{
    prompts.saveFiles.enqueue(file);
    return w.SaveDataFile(false) && w.CloseDataFile() && w.OpenDataFile(file);
}
