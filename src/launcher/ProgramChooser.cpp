// The run dialog's file chooser.
#include "ProgramChooser.h"

#include <QFileSystemModel>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTreeView>

namespace {

// Over the chooser's file model, which keeps the files its name patterns miss (greyed out): lists
// those the user may execute as well, ready to be chosen, and hides the rest.
class RunnableFiles : public QSortFilterProxyModel {
public:
    explicit RunnableFiles(QObject* parent) : QSortFilterProxyModel(parent) {}

    void setSourceModel(QAbstractItemModel* model) override
    {
        files_ = qobject_cast<QFileSystemModel*>(model);
        if (files_)
            files_->setNameFilterDisables(true);
        QSortFilterProxyModel::setSourceModel(model);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags f = QSortFilterProxyModel::flags(index);
        if (runnable(mapToSource(index)))
            f |= Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        return f;
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        if (!files_)
            return true;
        const QModelIndex i = files_->index(row, 0, parent);
        return files_->isDir(i) || (files_->flags(i) & Qt::ItemIsEnabled) || runnable(i);
    }

private:
    bool runnable(const QModelIndex& sourceIndex) const
    {
        if (!files_ || !sourceIndex.isValid())
            return false;
        const QFileInfo info = files_->fileInfo(sourceIndex);
        return info.isFile() && info.isExecutable();
    }

    QFileSystemModel* files_ = nullptr;
};

} // namespace

ProgramChooser::ProgramChooser(QWidget* parent, const QString& title, const QStringList& nameFilters)
    : QFileDialog(parent, title)
{
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilters(nameFilters);
    setFilter(filter() & ~QDir::CaseSensitive); // "*.Exe" also matches "x.exe"
    setProxyModel(new RunnableFiles(this));
    // Where programs live, until the user has chosen one.
    if (QFileInfo(QStringLiteral("/usr/bin")).isDir())
        setDirectory(QStringLiteral("/usr/bin"));
    // Wide enough for a file's size, type and date in full beside a long name; the name takes what is left.
    resize(780, 460);
    // Sizes and types come in after the names: the columns follow what they show.
    if (auto* view = findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
}
