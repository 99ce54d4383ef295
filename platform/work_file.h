#pragma once
// The file a document is written to before it is complete: made new under an
// unpredictable hidden name, never following or replacing anything already there (a
// link planted in a shared folder cannot make us write elsewhere), and removed by the
// next run when a killed one left it behind.
#include <QFile>
#include <QString>
#include <memory>

namespace corvel {

// Creates a new work file in `folder`, open for writing, with the permissions the
// user's umask gives new files; `path` receives its name. Throws PrintError naming the
// folder and the reason (permission denied, no such folder, ...).
std::unique_ptr<QFile> CreateWorkFile(const QString& folder, QString& path);

// Removes the work files in `folder` that no run has touched for an hour.
void RemoveStaleWorkFiles(const QString& folder);

}  // namespace corvel
