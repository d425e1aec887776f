// The run dialog's file chooser, whose programs filter also lists every file the user may run.
#pragma once
#include <QFileDialog>

// Programs here seldom carry an extension: under the first filter a file the user may execute is
// listed whatever its name, besides the files its patterns match. Qt's own dialog, so that this
// holds on every desktop.
class ProgramChooser : public QFileDialog {
    Q_OBJECT
public:
    ProgramChooser(QWidget* parent, const QString& title, const QStringList& nameFilters);
};
